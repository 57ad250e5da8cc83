#include "app/quiet_run_win.h"

#include "app/desktop_target_win.h"
#include "job/out_archive_name.h"
#include "job/out_folder_win.h"
#include "job/report_job_win.h"
#include "job/run_area_win.h"
#include "job/run_context_win.h"
#include "job/unattended_run_win.h"
#include "platform/base/console_win.h"
#include "platform/base/contain_win.h"
#include "platform/base/file_io_win.h"
#include "platform/base/handles_win.h"
#include "platform/base/text.h"
#include "platform/system/folders_win.h"
#include "platform/system/identity_win.h"

#include <shellapi.h>

#include <utility>

namespace vantrel {

namespace {

const wchar_t kTargetStage[] = L"target";

// While a run without a window lasts, every failure line goes to the writer
// that was in place (the log) and to the caller.
const TCallerPrintFn* g_caller = nullptr;
TFailureWriter g_log_writer = nullptr;

void WriteFailureForLogAndCaller(const std::wstring& line) {
    if (g_log_writer != nullptr) g_log_writer(line);
    if (g_caller != nullptr && *g_caller) (*g_caller)(true, line + L"\r\n");
}

class TFailuresToCaller {
public:
    explicit TFailuresToCaller(const TCallerPrintFn& print) : previous_(CurrentFailureWriter()) {
        g_log_writer = previous_;
        g_caller = &print;
        SetFailureWriter(WriteFailureForLogAndCaller);
    }
    ~TFailuresToCaller() {
        SetFailureWriter(previous_);
        g_caller = nullptr;
        g_log_writer = nullptr;
    }
    TFailuresToCaller(const TFailuresToCaller&) = delete;
    TFailuresToCaller& operator=(const TFailuresToCaller&) = delete;

private:
    TFailureWriter previous_;
};

// The exit code of a run that reached the job, and its last word.
int Finish(TRunEnd end, const std::wstring& saved, const TCallerPrintFn& print) {
    switch (end) {
        case TRunEnd::Saved: print(false, L"Saved: " + saved + L"\r\n"); return kExitSaved;
        case TRunEnd::NotSaved: return kExitNoTarget;
        case TRunEnd::NoArchive: break;
    }
    RecordFailure(L"report job", L"No archive was made");
    return kExitJobFailed;
}

// A new archive in the "/out" folder, claimed before the job runs.
int RunIntoFolder(const std::wstring& folder, const TQuietRun& setup, TRunRights rights) {
    TOutFolderTarget out(folder, OutArchiveBaseName(setup.ComputerName, setup.Utc));
    if (!out.Ready()) {
        RecordFailure(kTargetStage, L"Cannot create a file in the folder " + out.Folder(), out.Error());
        return kExitNoTarget;
    }
    // The folder is written with the run's own rights (out.Save), never the user's.
    TRunContext run(nullptr, out.Folder(), std::move(rights));
    run.AppDataDir = setup.AppDataDir;
    std::wstring saved;
    const TRunEnd end = RunReportAndSave(setup.Stages, run, setup.Places, [&](const std::wstring& archive) {
        saved = out.Save(archive);
        return !saved.empty();
    });
    if (end == TRunEnd::NotSaved) {
        RecordFailure(kTargetStage, L"Cannot save the archive in the folder " + out.Folder(), out.Error());
    }
    return Finish(end, saved, setup.Print);
}

// "Vantrel_Debug_Info.zip" on the logged-on user's desktop, saved as the
// window's run saves it.
int RunToDesktop(const TQuietRun& setup, TRunRights rights) {
    TRunContext run(nullptr, std::wstring(), std::move(rights));
    run.Target = setup.DesktopTarget(run.Rights().User);
    run.AppDataDir = setup.AppDataDir;
    if (!DirectoryExists(ExtractFilePath(run.Target))) {
        RecordFailure(kTargetStage, L"No desktop folder for " + run.Target);
        return kExitNoTarget;
    }
    const TRunEnd end = RunReportAndSave(setup.Stages, run, setup.Places, [&run](const std::wstring& archive) {
        return SaveToTarget(archive, run.Target, run.Rights().User);
    });
    if (end == TRunEnd::NotSaved) RecordFailure(kTargetStage, L"Cannot save the archive as " + run.Target);
    return Finish(end, run.Target, setup.Print);
}

int RunQuietForwarded(const TCommandLine& command, const TQuietRun& setup) {
    switch (ChooseQuietTarget(command.OutFolder, setup.SessionUser)) {
        case TQuietTarget::OutFolder: return RunIntoFolder(command.OutFolder, setup, QuietRunRights(setup.SessionUser));
        case TQuietTarget::UserDesktop: return RunToDesktop(setup, QuietRunRights(setup.SessionUser));
        case TQuietTarget::None: break;
    }
    RecordFailure(kTargetStage, L"Nobody is logged on, so there is no desktop; give a folder with /out");
    return kExitNoTarget;
}

void PrintToCaller(bool error, const std::wstring& text) {
    WriteToCaller(error ? TCallerStream::Error : TCallerStream::Output, text);
}

}  // namespace

std::vector<std::wstring> CommandLineArguments() {
    int count = 0;
    ScopedLocalMemory held(::CommandLineToArgvW(::GetCommandLineW(), &count));
    auto* const arguments = static_cast<wchar_t**>(held.Get());
    std::vector<std::wstring> result;
    for (int i = 1; arguments != nullptr && i < count; ++i) result.emplace_back(arguments[i]);
    return result;
}

int ShowUsage(const TCommandLine& command) {
    const std::wstring usage = UsageText(ExtractFileName(GetModulePath()));
    if (command.Kind == TCommandKind::Usage) {
        PrintToCaller(false, usage);
        return kExitSaved;
    }
    PrintToCaller(true, L"Error: " + command.Problem + L"\r\n\r\n" + usage);
    return kExitBadArguments;
}

TRunRights QuietRunRights(const std::wstring& session_user) {
    TRunRights rights = TRunRights::OfThisProcess();
    // Nobody is logged on: there are no user's rights to borrow, whatever
    // shell of an earlier session may still run.
    if (session_user.empty() && rights.Elevated) rights.User = TUserRights();
    return rights;
}

int RunQuiet(const TCommandLine& command, const TQuietRun& setup) {
    const TFailuresToCaller forward(setup.Print);
    try {
        return RunQuietForwarded(command, setup);
    } catch (...) {
        RecordCurrentFailure(L"report job");
        return kExitJobFailed;
    }
}

int RunQuiet(const TCommandLine& command) {
    TQuietRun setup;
    setup.SessionUser = GetSessionUserName();
    ReadComputerNameText(setup.ComputerName);
    SYSTEMTIME now = {};
    ::GetSystemTime(&now);
    setup.Utc.Year = now.wYear;
    setup.Utc.Month = now.wMonth;
    setup.Utc.Day = now.wDay;
    setup.Utc.Hour = now.wHour;
    setup.Utc.Minute = now.wMinute;
    setup.Utc.Second = now.wSecond;
    setup.Utc.Milliseconds = now.wMilliseconds;
    setup.AppDataDir = ReportAppFrame().AppDataDir;
    setup.Stages = DefaultReportStages();
    setup.Places = SystemWorkAreaPlaces();
    setup.DesktopTarget = UserDesktopTargetFile;
    setup.Print = PrintToCaller;
    return RunQuiet(command, setup);
}

}  // namespace vantrel
