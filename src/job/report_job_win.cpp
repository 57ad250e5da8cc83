#include "job/report_job_win.h"

#include "job/geninfo_protocol.h"
#include "platform/base/contain_win.h"
#include "platform/base/errors.h"
#include "platform/base/file_io_win.h"
#include "platform/base/file_open_win.h"
#include "platform/base/handles_win.h"
#include "platform/base/text_win.h"
#include "platform/base/wow64_win.h"
#include "platform/files/directory_win.h"
#include "platform/files/replace_win.h"
#include "platform/system/folders_win.h"
#include "platform/system/impersonation_win.h"
#include "platform/system/registry_win.h"

#include <process.h>

#include <utility>

namespace vantrel {

namespace {

const wchar_t kUpdaterKey[] = L"SOFTWARE\\Vantrel\\Vantrel Updater";

void SendGenInfo(const TRunContext& run, unsigned code, LPARAM value) {
    if (run.Window != nullptr) ::SendMessageW(run.Window, WM_GENINFO, static_cast<WPARAM>(code), value);
}

bool IsProgramFolder(const std::wstring& folder) {
    return UpperCaseText(IncludeTrailingBackslash(FullPath(folder))) == UpperCaseText(GetModuleDir());
}

const wchar_t kTargetStage[] = L"copy to the target";

// Writes a copy of `source`, with its last-write time, in place of `name`
// inside the open `folder`; a failure leaves its line.
bool ReplaceWithCopy(HANDLE source, HANDLE folder, const std::wstring& name) {
    TReplacement copy(folder, name);
    if (!copy.Valid()) {
        RecordFailure(kTargetStage, L"Cannot create the copy of " + name, copy.Error());
        return false;
    }
    if (!CopyOpenFileContent(source, copy.File())) {
        RecordFailure(kTargetStage, L"Cannot write the copy of " + name, ::GetLastError());
        return false;
    }
    FILETIME written = {};
    if (::GetFileTime(source, nullptr, nullptr, &written)) ::SetFileTime(copy.File(), nullptr, nullptr, &written);
    if (!copy.Commit()) {
        RecordFailure(kTargetStage, L"Cannot give the copy the name " + name, copy.Error());
        return false;
    }
    return true;
}

// Copies the open `archive` in place of `target`. The target's folder is
// opened, and the copy created and renamed in it, with the rights the
// thread has now; with `with_user_rights` false a folder that is a link a
// user could have made is refused.
bool CopyToTarget(HANDLE archive, const std::wstring& target, bool with_user_rights) {
    const std::wstring folder = ExtractFilePath(target);
    const std::wstring name = ExtractFileName(target);
    if (folder.empty() || name.empty()) {
        RecordFailure(kTargetStage, L"No target folder in " + target);
        return false;
    }
    ScopedFileHandle target_folder = OpenFolderToWriteIn(folder, !with_user_rights);
    if (!target_folder) {
        RecordFailure(kTargetStage, L"Cannot open the target folder " + folder, ::GetLastError());
        return false;
    }
    return ReplaceWithCopy(archive, target_folder.Get(), name);
}

// Ends the capture, closes the collected files and removes the working
// folder when the run leaves its scope, whether the run finished or ended
// early: the command and what it started are ended, and its raw output
// removed, before the folder goes.
class TWorkDirCleanup {
public:
    explicit TWorkDirCleanup(TRunContext& run) : run_(run) {}
    ~TWorkDirCleanup() {
        run_.SystemInfo.reset();
        run_.Late.clear();
        run_.Collected.Clear();
        // Out of memory on the way: the area's removal takes the rest.
        ContainFailure(L"working folder removal", [this] { DeleteDirTree(run_.WorkDir); });
    }
    TWorkDirCleanup(const TWorkDirCleanup&) = delete;
    TWorkDirCleanup& operator=(const TWorkDirCleanup&) = delete;

private:
    TRunContext& run_;
};

// While alive, the run's stages read the user's data with the rights the
// stage's row names.
class TStageRights {
public:
    TStageRights(TRunContext& run, TRightsUsed rights) : run_(run) {
        run_.ReadAsUser(rights == TRightsUsed::UsersData);
    }
    ~TStageRights() { run_.ReadAsUser(false); }
    TStageRights(const TStageRights&) = delete;
    TStageRights& operator=(const TStageRights&) = delete;

private:
    TRunContext& run_;
};

// Runs one row under its failure policy, the one place that policy lives: a
// failure leaves its one line in the log; a contained one also takes back
// the lines the stage appended. False when the failure ends the run.
bool RunStage(const TStage& stage, TRunContext& run, TStringList& lines) {
    if (!stage.Run) return true;
    const TStageRights rights(run, stage.Rights);
    const std::size_t kept = lines.size();
    try {
        stage.Run(run, lines);
        return true;
    } catch (...) {
        RecordCurrentFailure(stage.Name);
    }
    if (stage.OnFailure == TOnFailure::EndsRun) return false;
    lines.resize(kept);
    return true;
}

// Every row in order, a progress step after each stepping row that returned
// normally; the first failure that ends the run ends the walk.
void RunStages(const TReportStages& stages, TRunContext& run, TStringList& lines) {
    LPARAM step = 0;
    for (const TStage& stage : stages) {
        if (!RunStage(stage, run, lines)) return;
        if (stage.Steps) SendGenInfo(run, GENINFO_STEP, ++step);
    }
}

// The registry text at HKLM\key\name in the default view of this process;
// empty when the key or value is missing or the value is not text.
std::wstring ReadMachineText(const wchar_t* key, const wchar_t* name) {
    std::wstring text;
    ReadRegistryText(HKEY_LOCAL_MACHINE, key, name, KEY_READ, text);
    return text;
}

unsigned __stdcall GenInfoThreadProc(void* parameter) {
    auto* thread = static_cast<TGenInfoThread*>(parameter);
    thread->Execute();
    delete thread;
    return 0;
}

}  // namespace

std::wstring GetUpdaterPath() {
    std::wstring path = ReadMachineText(kUpdaterKey, L"AppPath");
    if (!path.empty() && !FileExists(path)) path.clear();
    return path;
}

std::wstring GenInfo(const TReportStages& stages, TRunContext& run, const TRunArea& area) {
    const wchar_t* current = L"updater folder";
    try {
        run.UpdaterDir = ExtractFilePath(GetUpdaterPath());
        SendGenInfo(run, GENINFO_START, kGenInfoProgressMax);
        current = L"WOW64 functions";
        LoadWow64Functions();

        // The working folder is made new in the run's own area; without an
        // area the run ends here.
        current = L"working folder";
        run.AreaDir = area.Path();
        run.WorkDir = area.WorkDir();
        if (run.WorkDir.empty()) {
            RecordFailure(current, L"No working area");
            return run.ArchivePath;
        }
        if (!CreateFolder(run.WorkDir)) {
            RecordFailure(current, L"Cannot create the working folder", ::GetLastError());
            return run.ArchivePath;
        }
        const TWorkDirCleanup cleanup(run);
        TStringList lines;
        RunStages(stages, run, lines);
    } catch (...) {
        // The run ends here; the window hears of it through the archive's
        // absence.
        RecordCurrentFailure(current);
    }
    return run.ArchivePath;
}

ScopedFileHandle OpenArchiveToCopy(const std::wstring& archive) {
    ScopedFileHandle source =
        OpenFileHandle(archive, GENERIC_READ, kShareRead, OPEN_EXISTING, kSequential | kOpenLinkItself);
    if (!source) RecordFailure(kTargetStage, L"Cannot open the archive " + archive, ::GetLastError());
    return source;
}

bool SaveToTarget(const std::wstring& archive, const std::wstring& target, const TUserRights& user) {
    try {
        // The archive lies in the run's own area: it is opened with the run's
        // own rights, before any impersonation, and only its handle crosses.
        const ScopedFileHandle source = OpenArchiveToCopy(archive);
        if (!source) return false;
        // The tool's own folder is written with the run's own rights (the
        // user may not be allowed to write it); every other target, the
        // user's desktop, with the user's where they can be had: the open of
        // the target's folder, the copy's creation and its rename.
        if (IsProgramFolder(ExtractFilePath(target))) return CopyToTarget(source.Get(), target, false);
        TActAsUser as_user(user);
        return CopyToTarget(source.Get(), target, as_user.Active());
    } catch (const EToolError&) {
        RecordCurrentFailure(kTargetStage);
        return false;  // no random name to be had: nothing is written
    }
}

bool SaveToTargetWithOwnRights(const std::wstring& archive, const std::wstring& target) {
    try {
        const ScopedFileHandle source = OpenArchiveToCopy(archive);
        return source && CopyToTarget(source.Get(), target, false);
    } catch (const EToolError&) {
        RecordCurrentFailure(kTargetStage);
        return false;
    }
}

void RunReportAndNotify(const TReportStages& stages, TRunContext& run, std::unique_ptr<TPreparedRun> prepared) {
    bool saved = false;
    try {
        run.SystemInfo = prepared->TakeCapture();
        const std::wstring archive = GenInfo(stages, run, prepared->Area());
        saved = !archive.empty() && FileExists(archive) && SaveToTarget(archive, run.Target, run.Rights().User);
        // A capture the run ended before collecting (no working folder) ends
        // before its area goes. The area, the archive in it included, goes
        // before the window hears of the end: after GENINFO_DONE the process
        // ends at once.
        run.SystemInfo.reset();
        run.Late.clear();
        prepared.reset();
    } catch (...) {
        // Whatever else leaves the run (out of memory) ends it as a failure;
        // the area goes here.
        saved = false;
        RecordCurrentFailure(L"report job");
        run.SystemInfo.reset();
        run.Late.clear();
        prepared.reset();
    }
    SendGenInfo(run, saved ? GENINFO_DONE : GENINFO_FAILED, 0);
}

void RunReportAndNotify(const TReportStages& stages, TRunContext& run, const TWorkAreaPlaces& places) {
    std::unique_ptr<TPreparedRun> prepared;
    try {
        prepared.reset(new TPreparedRun(places, false));
    } catch (...) {
        RecordCurrentFailure(L"report job");
        SendGenInfo(run, GENINFO_FAILED, 0);
        return;
    }
    RunReportAndNotify(stages, run, std::move(prepared));
}

void RunReportAndNotify(HWND window, const std::wstring& target, std::unique_ptr<TPreparedRun> prepared) {
    try {
        TRunContext run(window, target, TRunRights::OfThisProcess());
        run.AppDataDir = ReportAppFrame().AppDataDir;
        if (!prepared) {
            RunReportAndNotify(DefaultReportStages(), run, SystemWorkAreaPlaces());
        } else {
            RunReportAndNotify(DefaultReportStages(), run, std::move(prepared));
        }
    } catch (...) {
        // The run could not even be set up: the window still hears of its end.
        RecordCurrentFailure(L"report job");
        ::SendMessageW(window, WM_GENINFO, GENINFO_FAILED, 0);
    }
}

bool TGenInfoThread::Start(HWND window, const std::wstring& target, std::unique_ptr<TPreparedRun> prepared) {
    auto* thread = new TGenInfoThread(window, target, std::move(prepared));
    uintptr_t handle = ::_beginthreadex(nullptr, 0, GenInfoThreadProc, thread, 0, nullptr);
    if (handle == 0) {
        delete thread;
        return false;
    }
    ::CloseHandle(reinterpret_cast<HANDLE>(handle));
    return true;
}

void TGenInfoThread::Execute() { RunReportAndNotify(window_, target_, std::move(prepared_)); }

}  // namespace vantrel
