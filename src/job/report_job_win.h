// The report job: runs the table of stages on the worker thread, packs the
// working folder, copies the archive to the target and reports the outcome
// to the window through WM_GENINFO. What the run trusts and why is written
// down in docs/trust_model.md.
#pragma once

#include "job/prepared_run_win.h"
#include "job/report_stages_win.h"
#include "job/run_area_win.h"
#include "job/run_context_win.h"
#include "platform/base/win.h"

#include <memory>
#include <string>

namespace vantrel {

// Runs the job in `area` with the context `run`: the updater folder, the
// start message, a new working folder in the area, then every row of
// `stages` in order, each failure handled as its row says (the one line in
// the log, then the row's end or containment), the progress stepped after
// every stepping row that returned normally. The working folder is removed
// at the end, the capture ended before; the archive stays in the area.
// Returns the archive path, empty when the job ended before the path was
// known. Lets no exception escape.
std::wstring GenInfo(const TReportStages& stages, TRunContext& run, const TRunArea& area);

// The updater's executable path from the registry, or empty text when no
// updater is registered, its "AppPath" is not text, or names no file.
std::wstring GetUpdaterPath();

// Copies `archive` to `target`: a new file under a random name in the
// target's folder, created and then renamed over the target relative to the
// folder's open handle, so that a link at the target's name is replaced,
// never followed, and an old file is replaced only by a complete copy. The
// archive is opened with the run's own rights before anything else; in the
// logged-on user's folders (anywhere but the tool's own folder) the target's
// folder is then opened, and the copy created and renamed, with `user`'s
// rights where they can be had; otherwise a target folder that is a link a
// user could have made is refused. True when the target holds the copy;
// every failure leaves its line in the log.
bool SaveToTarget(const std::wstring& archive, const std::wstring& target, const TUserRights& user);
// SaveToTarget's branch without the user's rights (the tool's own folder, or
// no token of the user to be had).
bool SaveToTargetWithOwnRights(const std::wstring& archive, const std::wstring& target);

// Runs the job in the area of `prepared`, adopting its capture (see
// TPreparedRun::TakeCapture), copies the archive to the run's target,
// destroys `prepared` (the area goes) and sends GENINFO_DONE or
// GENINFO_FAILED to the run's window. Never throws: whatever else leaves the
// run (out of memory) leaves its line in the log and ends the run with
// GENINFO_FAILED, the area removed.
void RunReportAndNotify(const TReportStages& stages, TRunContext& run, std::unique_ptr<TPreparedRun> prepared);
// The same in a new area at `places`, the capture started by the stages.
void RunReportAndNotify(const TReportStages& stages, TRunContext& run, const TWorkAreaPlaces& places);
// The tool's run: its own stages, this process's rights, the report folder
// object's application data, in the area of `prepared` (null: a new one at
// this process's places).
void RunReportAndNotify(HWND window, const std::wstring& target, std::unique_ptr<TPreparedRun> prepared);

// The worker thread: started running, frees itself when Execute returns.
class TGenInfoThread {
public:
    // Creates and starts the worker for one run that reports to `window`
    // and saves at `target`, in `prepared` (null: a run made ready at its
    // start); false when it cannot start (`prepared` is then destroyed).
    static bool Start(HWND window, const std::wstring& target, std::unique_ptr<TPreparedRun> prepared);
    void Execute();

private:
    TGenInfoThread(HWND window, std::wstring target, std::unique_ptr<TPreparedRun> prepared)
        : window_(window), target_(std::move(target)), prepared_(std::move(prepared)) {}
    HWND window_;
    std::wstring target_;
    std::unique_ptr<TPreparedRun> prepared_;
};

}  // namespace vantrel
