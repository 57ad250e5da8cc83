// The report job: runs every stage on the worker thread, packs the working
// folder and reports the outcome to the window through WM_GENINFO.
#pragma once

#include "platform/run_globals_win.h"
#include "platform/text.h"
#include "platform/win.h"

#include <functional>
#include <string>

namespace vantrel {

// The stages the job calls, in its order. An empty slot is a stage this
// build does not have; the job goes on past it.
struct TReportStages {
    std::function<void()> LoadWow64Functions;
    std::function<void(TStringList&)> AddSystemOverview;
    std::function<void(TStringList&)> AddProcesses;
    std::function<void(TStringList&)> AddServices;
    std::function<TStringList()> BuildAutoruns;
    std::function<void()> LoadInstallDir;
    std::function<void(TStringList&, const std::wstring& folder, bool banner)> AddInstalledFiles;
    std::function<void()> CaptureAppleLibraries;
    std::function<void(const std::wstring& work_dir)> SaveSystemInfo;
    std::function<void(const std::wstring& work_dir)> CollectProductFiles;
    std::function<int(const std::wstring& work_dir, const std::wstring& archive)> ZipFolder;
};

// The stages of the tool itself.
TReportStages DefaultReportStages();

// Runs the job; returns the archive path, empty when the job ended before
// the path was known. Lets no exception escape.
std::wstring GenInfo(const TReportStages& stages);

// The updater's executable path from the registry, or empty text when no
// updater is registered, its "AppPath" is not text, or names no file.
std::wstring GetUpdaterPath();

// Runs the job, copies the archive to TargetFile and sends GENINFO_DONE or
// GENINFO_FAILED.
void RunReportAndNotify(const TReportStages& stages);

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
