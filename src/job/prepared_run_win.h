// A run made ready before the user asks for it: the window makes one when
// it opens, so that the system-information command, the longest step of a
// run, works while the user reads the window. It holds the run's private
// area and the capture started in it; the run started by the button adopts
// both. Closing the window without a run destroys it: the command and all
// it started are ended, and the area is removed with everything in it.
#pragma once

#include "job/run_area_win.h"
#include "platform/base/win.h"
#include "report/system_info_win.h"

#include <cstdint>
#include <memory>

namespace vantrel {

// A capture older than this when the run starts is made again.
constexpr std::uint32_t kPreparedCaptureMaxAgeMs = 10u * 60u * 1000u;

class TPreparedRun {
public:
    // Makes the area at `places` and, with `start_capture`, starts the
    // capture in it, its raw output in the area's root. Never throws: an
    // area that cannot be made is not Ready, and a capture that cannot start
    // leaves its line and is started again by the run.
    TPreparedRun(const TWorkAreaPlaces& places, bool start_capture,
                 std::uint32_t wait_bound_ms = kSystemInfoWaitBoundMs);
    // Ends the capture, if the run did not adopt it, then removes the area.
    ~TPreparedRun();
    TPreparedRun(const TPreparedRun&) = delete;
    TPreparedRun& operator=(const TPreparedRun&) = delete;

    TRunArea& Area() { return area_; }
    // The capture started here and not yet taken; null otherwise.
    const TSystemInfoCapture* Capture() const { return capture_.get(); }
    // The capture for a run starting now, once: the one started here, done
    // or still running, unless it started more than `max_age_ms` ago; such
    // an old one is ended (its raw output removed) and null returned, as
    // when none was started.
    std::unique_ptr<TSystemInfoCapture> TakeCapture(std::uint32_t max_age_ms = kPreparedCaptureMaxAgeMs);

private:
    TRunArea area_;  // declared first: it goes after the capture
    std::unique_ptr<TSystemInfoCapture> capture_;
    DWORD started_ = 0;  // tick count when the capture started
};

// The window's prepared run: this process's places, the capture started.
// Null only when not even that object can be had (out of memory).
std::unique_ptr<TPreparedRun> PrepareRun();

}  // namespace vantrel
