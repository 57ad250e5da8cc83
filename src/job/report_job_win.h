// The report job: runs every stage on the worker thread, packs the working
// folder and reports the outcome to the window through WM_GENINFO. What the
// run trusts and why is written down in docs/trust_model.md.
#pragma once

#include "job/work_area.h"
#include "platform/base/text.h"
#include "platform/base/win.h"
#include "platform/files/private_folder_win.h"
#include "platform/system/run_globals_win.h"
#include "report/system_info_win.h"

#include <functional>
#include <memory>
#include <string>

namespace vantrel {

// The stages the job calls, in its order. An empty slot is a stage this
// build does not have; the job goes on past it. StartSystemInfo runs right
// after the services section, so that the command and what it starts appear
// in neither the process nor the services section; SaveSystemInfo collects
// what it started at the capture's own place (without a start, it captures
// there and then).
struct TReportStages {
    std::function<void()> LoadWow64Functions;
    std::function<void(TStringList&)> AddSystemOverview;
    std::function<void(TStringList&)> AddProcesses;
    std::function<void(TStringList&)> AddServices;
    std::function<TStringList()> BuildAutoruns;
    std::function<void()> LoadInstallDir;
    std::function<void(TStringList&, const std::wstring& folder, bool banner)> AddInstalledFiles;
    std::function<void(const std::wstring& work_dir)> CaptureAppleLibraries;
    std::function<std::unique_ptr<TSystemInfoCapture>(const std::wstring& work_dir)> StartSystemInfo;
    std::function<void(const std::wstring& work_dir, TSystemInfoCapture* started)> SaveSystemInfo;
    std::function<void(const std::wstring& work_dir)> CollectProductFiles;
    std::function<int(const std::wstring& work_dir, const std::wstring& archive)> ZipFolder;
};

// The stages of the tool itself.
TReportStages DefaultReportStages();

// The private working area of one run (WorkAreaCandidates): made new under
// a random name, holding the working folder and the archive, removed with
// everything in it when the object goes away.
class TRunArea {
public:
    // Never throws: Ready() is false when no candidate gave an area.
    explicit TRunArea(const TWorkAreaPlaces& places);
    TRunArea(const TRunArea&) = delete;
    TRunArea& operator=(const TRunArea&) = delete;

    bool Ready() const { return folder_ != nullptr; }
    // The area, with a trailing backslash (empty when not Ready).
    std::wstring Path() const;
    // The working folder WorkDir: the area's "GetInfoDir\".
    std::wstring WorkDir() const;
    // The archive "Vantrelt_Debug_Info.zip" in the area.
    std::wstring ArchivePath() const;
    // Removes the area now; true when it is gone.
    bool Remove();

private:
    std::unique_ptr<TPrivateFolder> folder_;
};

// The places of this process: elevated or not, the shared Windows folder's
// Temp, the user's temporary folder, the tool's own folder.
TWorkAreaPlaces SystemWorkAreaPlaces();

// Runs the job in `area`; returns the archive path, empty when the job
// ended before the path was known. The working folder is created new in the
// area and removed at the end; the archive stays in the area. Lets no
// exception escape.
std::wstring GenInfo(const TReportStages& stages, const TRunArea& area);

// The updater's executable path from the registry, or empty text when no
// updater is registered, its "AppPath" is not text, or names no file.
std::wstring GetUpdaterPath();

// Copies `archive` to `target`: a new file under a random name in the
// target's folder, created and then renamed over the target relative to the
// folder's open handle, so that a link at the target's name is replaced,
// never followed, and an old file is replaced only by a complete copy. In
// the logged-on user's folders (anywhere but the tool's own folder) this
// runs with that user's rights where they can be had; otherwise a target
// folder that is a link is refused. True when the target holds the copy.
bool SaveToTarget(const std::wstring& archive, const std::wstring& target);
// SaveToTarget's branch without the user's rights (the tool's own folder, or
// no token of the user to be had): a target folder that is a link is refused.
bool SaveToTargetWithOwnRights(const std::wstring& archive, const std::wstring& target);

// Runs the job in a new area at `places`, copies the archive to TargetFile,
// removes the area and sends GENINFO_DONE or GENINFO_FAILED.
void RunReportAndNotify(const TReportStages& stages);
void RunReportAndNotify(const TReportStages& stages, const TWorkAreaPlaces& places);

// The worker thread: started running, frees itself when Execute returns.
class TGenInfoThread {
public:
    // Creates and starts the worker for one run; false when it cannot start.
    static bool Start();
    void Execute();

private:
    TGenInfoThread() = default;
};

}  // namespace vantrel
