#include "job/report_job_win.h"

#include "job/geninfo_protocol.h"
#include "collect/apple_libraries_win.h"
#include "collect/product_files_win.h"
#include "platform/datetime.h"
#include "platform/directory_win.h"
#include "platform/errors.h"
#include "platform/file_io_win.h"
#include "platform/folders_win.h"
#include "platform/handles_win.h"
#include "platform/impersonation_win.h"
#include "platform/registry_win.h"
#include "platform/system_locale_win.h"
#include "platform/version_info.h"
#include "platform/wow64_win.h"
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

// Removes the working folder. A link put in its place (the temporary folder
// may belong to the user an elevated run works for) is removed itself,
// never what it points to.
void RemoveWorkDir(const std::wstring& work) {
    if (IsReparsePoint(work)) {
        ::RemoveDirectoryW(ExcludeTrailingBackslash(work).c_str());
    } else if (DirectoryExists(work)) {
        DeleteDirTree(work);
    }
}

// The working folder: the temporary folder's "GetInfoDir\", emptied and
// created; the program folder's "GetInfoDir\" when that cannot be made.
std::wstring PrepareWorkDir() {
    std::wstring temp = GetTempDir();
    if (!temp.empty()) {
        std::wstring work = IncludeTrailingBackslash(temp) + kWorkDirName;
        RemoveWorkDir(work);
        if (!DirectoryExists(work)) ForceDirectories(work);
        // Everything of the run is written below this folder: it must be a
        // real folder, not a link into another place.
        if (DirectoryExists(work) && !PathCrossesReparsePoint(work)) return work;
    }
    return GetModuleDir() + kWorkDirName;
}

bool CopyContent(HANDLE source, HANDLE target) {
    std::vector<char> buffer(1 << 16);
    while (true) {
        DWORD got = 0;
        if (!::ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return false;
        if (got == 0) return true;
        DWORD written = 0;
        if (!::WriteFile(target, buffer.data(), got, &written, nullptr) || written != got) return false;
    }
}

// Writes a byte copy of `archive` (with its time stamp) to `part`, created
// new: an existing file or link of that name is removed first, never opened.
bool WritePart(HANDLE source, const std::wstring& part) {
    ::DeleteFileW(part.c_str());
    ScopedFileHandle target(::CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!target) return false;
    FILETIME written = {};
    bool ok = CopyContent(source, target.Get());
    if (ok && ::GetFileTime(source, nullptr, nullptr, &written)) ::SetFileTime(target.Get(), nullptr, nullptr, &written);
    target.Reset();
    if (!ok) ::DeleteFileW(part.c_str());
    return ok;
}

// Copies the archive to the target on the logged-on user's desktop. The
// write runs with that user's rights where they can be had; otherwise a
// target reached through a link is refused. An old file at the target is
// replaced only once the whole copy is there.
bool SaveToTarget(const std::wstring& archive, const std::wstring& target) {
    ScopedFileHandle source(::CreateFileW(archive.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source) return false;
    TSessionUserImpersonation as_user;
    if (!as_user.Active() && PathCrossesReparsePoint(target)) return false;
    const std::wstring part = target + L".part";
    if (!WritePart(source.Get(), part)) return false;
    if (::MoveFileExW(part.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    ::DeleteFileW(part.c_str());
    return false;
}

std::wstring ArchivePath() {
    std::wstring temp = ReportAppFrame().GetFolder(kFolderKindTemp);
    if (temp.empty()) throw EToolError("No temporary folder");
    return IncludeTrailingBackslash(temp) + kArchiveName;
}

template <typename Stage, typename... Args>
void CallStage(const Stage& stage, Args&&... args) {
    if (stage) stage(std::forward<Args>(args)...);
}

// Removes the working folder when the run leaves its scope, whether the run
// finished or an exception ended it.
class TWorkDirCleanup {
public:
    explicit TWorkDirCleanup(const std::wstring& work_dir) : work_dir_(work_dir) {}
    ~TWorkDirCleanup() { RemoveWorkDir(work_dir_); }
    TWorkDirCleanup(const TWorkDirCleanup&) = delete;
    TWorkDirCleanup& operator=(const TWorkDirCleanup&) = delete;

private:
    std::wstring work_dir_;
};

// Everything of a run from the report's header to the packed archive; an
// exception leaves at once.
void BuildAndPack(const TReportStages& stages, const std::wstring& work_dir, TStringList& lines,
                  std::wstring& archive) {
    TProgress progress;
    lines.push_back(L"Version:" + GetFileInfoItem(GetModulePath(), 3, L"Unknown"));
    try {
        lines.push_back(L"Date:" + FormatReportDateTime(LocalNow(), UserLocale()));
    } catch (...) {
        // Only the date line is lost.
    }

    CallStage(stages.AddSystemOverview, lines);
    progress.Step();
    CallStage(stages.AddProcesses, lines);
    progress.Step();
    CallStage(stages.AddServices, lines);
    progress.Step();
    try {
        if (stages.BuildAutoruns) {
            TStringList autoruns = stages.BuildAutoruns();
            lines.insert(lines.end(), autoruns.begin(), autoruns.end());
        }
    } catch (...) {
        // The autoruns section is dropped; the report goes on.
    }
    CallStage(stages.LoadInstallDir);
    CallStage(stages.AddInstalledFiles, lines, InstallDir, true);
    progress.Step();

    SaveBytesToFile(work_dir + kReportName, EncodeUtf16LinesFile(lines));

    CallStage(stages.CaptureAppleLibraries);
    CallStage(stages.SaveSystemInfo, work_dir);
    progress.Step();
    CallStage(stages.CollectProductFiles, work_dir);
    progress.Step();

    archive = ArchivePath();
    if (FileExists(archive)) ::DeleteFileW(archive.c_str());
    CallStage(stages.ZipFolder, work_dir, archive);
    progress.Step();
}

// The registry text at HKLM\key\name in the default view of this process;
// empty when the key or value is missing or the value is not text.
std::wstring ReadMachineText(const wchar_t* key, const wchar_t* name) {
    ScopedRegKey handle;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, handle.Receive()) != ERROR_SUCCESS) return L"";
    try {
        return ReadTextValue(handle.Get(), name);
    } catch (const ERegistryException&) {
        return L"";
    }
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

std::wstring GenInfo(const TReportStages& stages) {
    std::wstring archive;
    try {
        UpdaterDir = ExtractFilePath(GetUpdaterPath());
        SendGenInfo(GENINFO_START, kGenInfoProgressMax);
        CallStage(stages.LoadWow64Functions);

        const std::wstring work_dir = IncludeTrailingBackslash(PrepareWorkDir());
        const TWorkDirCleanup cleanup(work_dir);
        TStringList lines;
        BuildAndPack(stages, work_dir, lines, archive);
    } catch (...) {
        // The run ends here; the window hears of it through the archive's absence.
    }
    return archive;
}

void RunReportAndNotify(const TReportStages& stages) {
    std::wstring archive = GenInfo(stages);
    bool saved = !archive.empty() && FileExists(archive) && SaveToTarget(archive, TargetFile);
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
    stages.AddInstalledFiles = AddInstalledFiles;
    stages.CaptureAppleLibraries = [] { CaptureAppleLibraries(); };
    stages.SaveSystemInfo = [](const std::wstring& work_dir) { SaveSystemInfo(work_dir); };
    stages.CollectProductFiles = [](const std::wstring& work_dir) { CollectProductFiles(work_dir); };
    stages.ZipFolder = ZipFolder;
    return stages;
}

}  // namespace vantrel
