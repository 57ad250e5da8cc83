#include "job/prepared_run_win.h"

#include "platform/base/contain_win.h"

#include <utility>

namespace vantrel {

TPreparedRun::TPreparedRun(const TWorkAreaPlaces& places, bool start_capture, std::uint32_t wait_bound_ms)
    : area_(places) {
    if (!start_capture || !area_.Ready()) return;
    ContainFailure(L"system information start", [&] {
        started_ = ::GetTickCount();
        capture_ = StartSystemInfo(area_.Path(), wait_bound_ms);
    });
}

TPreparedRun::~TPreparedRun() { capture_.reset(); }

std::unique_ptr<TSystemInfoCapture> TPreparedRun::TakeCapture(std::uint32_t max_age_ms) {
    // The tick count wraps after 49 days; the difference stays right.
    if (capture_ && ::GetTickCount() - started_ > max_age_ms) capture_.reset();
    return std::move(capture_);
}

std::unique_ptr<TPreparedRun> PrepareRun() {
    try {
        return std::unique_ptr<TPreparedRun>(new TPreparedRun(SystemWorkAreaPlaces(), true));
    } catch (...) {
        RecordCurrentFailure(L"working area");
        return nullptr;
    }
}

}  // namespace vantrel
