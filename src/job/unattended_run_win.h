// A report run that tells no window: the job as the window's run does it,
// then the archive handed to a saving function of the caller's, which
// decides where it goes (the command line's runs).
#pragma once

#include "job/report_stages_win.h"
#include "job/run_context_win.h"
#include "job/work_area.h"

#include <functional>
#include <string>

namespace vantrel {

enum class TRunEnd {
    Saved,      // the archive was made and saved
    NoArchive,  // the job ended without an archive (its "Error: " lines say why)
    NotSaved,   // the archive was made, saving it failed
};

// Saves the finished `archive` (in the run's area); true when it was saved.
// Never throws.
using TSaveArchiveFn = std::function<bool(const std::wstring& archive)>;

// Runs the job with the context `run` (whose window is null: nobody is
// told) in a new area at `places`, hands the archive to `save`, and removes
// the area with everything in it. Never throws: whatever else leaves the run
// (out of memory) leaves its line in the log and ends it as NoArchive.
TRunEnd RunReportAndSave(const TReportStages& stages, TRunContext& run, const TWorkAreaPlaces& places,
                         const TSaveArchiveFn& save);

}  // namespace vantrel
