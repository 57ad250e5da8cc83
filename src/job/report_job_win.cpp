#include "job/report_job_win.h"

#include "collect/apple_libraries_win.h"
#include "collect/product_files_win.h"
#include "job/geninfo_protocol.h"
#include "platform/base/contain_win.h"
#include "platform/base/datetime.h"
#include "platform/base/errors.h"
#include "platform/base/file_io_win.h"
#include "platform/base/handles_win.h"
#include "platform/base/system_locale_win.h"
#include "platform/base/text_win.h"
#include "platform/base/wow64_win.h"
#include "platform/files/directory_win.h"
#include "platform/files/links_win.h"
#include "platform/files/nt_files_win.h"
#include "platform/files/private_folder_win.h"
#include "platform/files/safe_paths.h"
#include "platform/system/elevation_win.h"
#include "platform/system/folders_win.h"
#include "platform/system/impersonation_win.h"
#include "platform/system/random_win.h"
#include "platform/system/registry_win.h"
#include "platform/system/version_info.h"
#include "report/autoruns.h"
#include "report/installed_files.h"
#include "report/process_inventory_win.h"
#include "report/services.h"
#include "report/system_info_win.h"
#include "report/system_overview_win.h"
#include "zip/zip_writer.h"

#include <process.h>

#include <vector>

namespace vantrel {

namespace {

const wchar_t kUpdaterKey[] = L"SOFTWARE\\Vantrel\\Vantrel Updater";
const wchar_t kReportName[] = L"Vantrel_Debug_Info.txt";
const wchar_t kArchiveName[] = L"Vantrelt_Debug_Info.zip";
const wchar_t kWorkDirName[] = L"GetInfoDir\\";

void SendGenInfo(unsigned code, LPARAM value) {
    ::SendMessageW(FormHandle, WM_GENINFO, static_cast<WPARAM>(code), value);
}

// One run's progress counter.
class TProgress {
public:
    void Step() { SendGenInfo(GENINFO_STEP, ++count_); }

private:
    LPARAM count_ = 0;
};

bool IsProgramFolder(const std::wstring& folder) {
    return UpperCaseText(IncludeTrailingBackslash(FullPath(folder))) == UpperCaseText(GetModuleDir());
}

// Writes a copy of `source` as a new file under a random name inside the
// open `folder` and renames it over `name` there.
bool ReplaceWithCopy(HANDLE source, HANDLE folder, const std::wstring& name) {
    const std::wstring part = ChangeFileExt(name, L"") + L"." + RandomHex(8) + L".part";
    ScopedFileHandle copy = NativeCreateNewFileIn(folder, part, FILE_ATTRIBUTE_NORMAL);
    if (!copy) return false;
    FILETIME written = {};
    bool ok = CopyOpenFileContent(source, copy.Get());
    if (ok && ::GetFileTime(source, nullptr, nullptr, &written)) ::SetFileTime(copy.Get(), nullptr, nullptr, &written);
    if (ok) ok = NativeRenameInto(copy.Get(), folder, name, true);
    if (!ok) NativeDeleteOnClose(copy.Get());  // the part file is ours: opened when it was created
    return ok;
}

// The target's folder, opened for creating files in it. With `refuse_link`
// the folder entry is opened itself, not followed, and must be no link.
ScopedFileHandle OpenTargetFolder(const std::wstring& folder, bool refuse_link) {
    const std::wstring path = ExtendedLengthPath(FullPath(ExcludeTrailingBackslash(folder)));
    if (refuse_link && IsLinkPath(path)) return ScopedFileHandle();
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (refuse_link ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    ScopedFileHandle handle(::CreateFileW(path.c_str(),
                                          FILE_ADD_FILE | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!handle || !::GetFileInformationByHandle(handle.Get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (refuse_link && IsLinkHandle(handle.Get(), info.dwFileAttributes))) {
        return ScopedFileHandle();
    }
    return handle;
}

// Calls a stage of the run (when it is set), noting its name in `current`
// first, so that a failure that ends the run can name it.
template <typename Stage, typename... Args>
void CallStage(const wchar_t*& current, const wchar_t* name, const Stage& stage, Args&&... args) {
    current = name;
    if (stage) stage(std::forward<Args>(args)...);
}

// Removes the working folder when the run leaves its scope, whether the run
// finished or an exception ended it.
class TWorkDirCleanup {
public:
    explicit TWorkDirCleanup(const std::wstring& work_dir) : work_dir_(work_dir) {}
    ~TWorkDirCleanup() { DeleteDirTree(work_dir_); }
    TWorkDirCleanup(const TWorkDirCleanup&) = delete;
    TWorkDirCleanup& operator=(const TWorkDirCleanup&) = delete;

private:
    std::wstring work_dir_;
};

// Everything of a run from the report's header to the packed archive; an
// exception leaves at once, `current` naming the stage it left.
void BuildAndPack(const TReportStages& stages, const TRunArea& area, const std::wstring& work_dir, TStringList& lines,
                  std::wstring& archive, const wchar_t*& current) {
    TProgress progress;
    current = L"version line";
    lines.push_back(L"Version:" + GetFileInfoItem(GetModulePath(), 3, L"Unknown"));
    // Only the date line is lost when it fails.
    ContainFailure(L"date line", [&] { lines.push_back(L"Date:" + FormatReportDateTime(LocalNow(), UserLocale())); });

    CallStage(current, L"system overview", stages.AddSystemOverview, lines);
    progress.Step();
    CallStage(current, L"processes", stages.AddProcesses, lines);
    progress.Step();
    CallStage(current, L"services", stages.AddServices, lines);
    progress.Step();
    // The command runs while the stages below work. Whatever ends the run
    // before its collection, the capture ends the command and what it
    // started and removes its raw output when it goes, before the working
    // folder is removed.
    std::unique_ptr<TSystemInfoCapture> system_info;
    current = L"system information start";
    if (stages.StartSystemInfo) system_info = stages.StartSystemInfo(work_dir);
    // The autoruns section is dropped when it fails; the report goes on.
    ContainFailure(L"autoruns", [&] {
        if (stages.BuildAutoruns) {
            TStringList autoruns = stages.BuildAutoruns();
            lines.insert(lines.end(), autoruns.begin(), autoruns.end());
        }
    });
    CallStage(current, L"install folder", stages.LoadInstallDir);
    CallStage(current, L"installed files", stages.AddInstalledFiles, lines, InstallDir, true);
    progress.Step();

    current = L"report file";
    SaveBytesToFile(work_dir + kReportName, EncodeUtf16LinesFile(lines));

    CallStage(current, L"Apple libraries", stages.CaptureAppleLibraries, work_dir);
    CallStage(current, L"system information", stages.SaveSystemInfo, work_dir, system_info.get());
    system_info.reset();
    progress.Step();
    CallStage(current, L"product files", stages.CollectProductFiles, work_dir);
    progress.Step();

    // The archive is created new in this run's own area: no earlier file can
    // be there, and nothing but this run's archive is ever copied.
    current = L"archive path";
    archive = area.ArchivePath();
    CallStage(current, L"archive", stages.ZipFolder, work_dir, archive);
    progress.Step();
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

TRunArea::TRunArea(const TWorkAreaPlaces& places) {
    for (const TWorkAreaCandidate& candidate : WorkAreaCandidates(places)) {
        try {
            folder_.reset(new TPrivateFolder(candidate.Parent, kWorkAreaPrefix, candidate.AdministratorsOnly));
            return;
        } catch (const EToolError&) {
            // The next place is tried.
        }
    }
}

std::wstring TRunArea::Path() const { return folder_ ? folder_->Path() : std::wstring(); }

std::wstring TRunArea::WorkDir() const { return folder_ ? folder_->Path() + kWorkDirName : std::wstring(); }

std::wstring TRunArea::ArchivePath() const { return folder_ ? folder_->Path() + kArchiveName : std::wstring(); }

bool TRunArea::Remove() { return !folder_ || folder_->Remove(); }

TWorkAreaPlaces SystemWorkAreaPlaces() {
    TWorkAreaPlaces places;
    places.Elevated = IsRunElevated();
    const std::wstring windows = GetSharedWindowsDir();
    if (!windows.empty()) places.WindowsTemp = windows + L"\\Temp";
    places.UserTemp = GetTempDir();
    places.ProgramDir = GetModuleDir();
    return places;
}

std::wstring GenInfo(const TReportStages& stages, const TRunArea& area) {
    std::wstring archive;
    const wchar_t* current = L"updater folder";
    try {
        UpdaterDir = ExtractFilePath(GetUpdaterPath());
        SendGenInfo(GENINFO_START, kGenInfoProgressMax);
        CallStage(current, L"WOW64 functions", stages.LoadWow64Functions);

        // The working folder is made new in the run's own area; without an
        // area the run ends here.
        current = L"working folder";
        const std::wstring work_dir = area.WorkDir();
        if (work_dir.empty()) {
            RecordFailure(current, L"No working area");
            return archive;
        }
        if (!::CreateDirectoryW(work_dir.c_str(), nullptr)) {
            RecordFailure(current, L"Cannot create the working folder", ::GetLastError());
            return archive;
        }
        const TWorkDirCleanup cleanup(work_dir);
        TStringList lines;
        BuildAndPack(stages, area, work_dir, lines, archive, current);
    } catch (...) {
        // The run ends here; the window hears of it through the archive's
        // absence.
        RecordCurrentFailure(current);
    }
    return archive;
}

namespace {

bool CopyToTarget(const std::wstring& archive, const std::wstring& target, bool with_user_rights) {
    ScopedFileHandle source(::CreateFileW(archive.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    const std::wstring folder = ExtractFilePath(target);
    const std::wstring name = ExtractFileName(target);
    if (!source || folder.empty() || name.empty()) return false;
    ScopedFileHandle target_folder = OpenTargetFolder(folder, !with_user_rights);
    return target_folder && ReplaceWithCopy(source.Get(), target_folder.Get(), name);
}

}  // namespace

bool SaveToTarget(const std::wstring& archive, const std::wstring& target) {
    try {
        // The tool's own folder is written with the tool's own rights (the
        // user may not be allowed to write it); every other target, the
        // user's desktop, with the user's where they can be had.
        if (IsProgramFolder(ExtractFilePath(target))) return CopyToTarget(archive, target, false);
        TSessionUserImpersonation as_user;
        return CopyToTarget(archive, target, as_user.Active());
    } catch (const EToolError&) {
        RecordCurrentFailure(L"copy to the target");
        return false;  // no random name to be had: nothing is written
    }
}

bool SaveToTargetWithOwnRights(const std::wstring& archive, const std::wstring& target) {
    try {
        return CopyToTarget(archive, target, false);
    } catch (const EToolError&) {
        RecordCurrentFailure(L"copy to the target");
        return false;
    }
}

void RunReportAndNotify(const TReportStages& stages) { RunReportAndNotify(stages, SystemWorkAreaPlaces()); }

void RunReportAndNotify(const TReportStages& stages, const TWorkAreaPlaces& places) {
    bool saved = false;
    {
        TRunArea area(places);
        const std::wstring archive = GenInfo(stages, area);
        saved = !archive.empty() && FileExists(archive) && SaveToTarget(archive, TargetFile);
        // The area, the archive in it included, goes before the window hears
        // of the end: after GENINFO_DONE the process ends at once.
    }
    SendGenInfo(saved ? GENINFO_DONE : GENINFO_FAILED, 0);
}

bool TGenInfoThread::Start() {
    auto* thread = new TGenInfoThread();
    uintptr_t handle = ::_beginthreadex(nullptr, 0, GenInfoThreadProc, thread, 0, nullptr);
    if (handle == 0) {
        delete thread;
        return false;
    }
    ::CloseHandle(reinterpret_cast<HANDLE>(handle));
    return true;
}

void TGenInfoThread::Execute() { RunReportAndNotify(DefaultReportStages()); }

TReportStages DefaultReportStages() {
    TReportStages stages;
    stages.LoadWow64Functions = LoadWow64Functions;
    stages.AddSystemOverview = AddSystemOverview;
    stages.AddProcesses = AddProcesses;
    stages.AddServices = AddServices;
    stages.BuildAutoruns = []() { return BuildAutoruns(); };
    stages.LoadInstallDir = LoadInstallDir;
    stages.AddInstalledFiles = [](TStringList& lines, const std::wstring& folder, bool banner) {
        AddInstalledFiles(lines, folder, banner);
    };
    stages.CaptureAppleLibraries = [](const std::wstring& work_dir) { CaptureAppleLibraries(work_dir); };
    stages.StartSystemInfo = [](const std::wstring& work_dir) { return StartSystemInfo(work_dir); };
    stages.SaveSystemInfo = [](const std::wstring& work_dir, TSystemInfoCapture* started) {
        SaveSystemInfo(work_dir, started);
    };
    stages.CollectProductFiles = [](const std::wstring& work_dir) { CollectProductFiles(work_dir); };
    stages.ZipFolder = ZipFolder;
    return stages;
}

}  // namespace vantrel
