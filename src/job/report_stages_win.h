// The report job as a table of stages: each row names the stage, says
// whether its failure ends the run or is contained, whether it makes a
// progress step, and whose rights it reads the user's data with, and holds
// its function. The job walks the rows in order (report_job_win.h); adding
// a report section is a formatter, a gatherer and one row.
#pragma once

#include "job/run_context_win.h"
#include "platform/base/text.h"

#include <functional>
#include <string>
#include <vector>

namespace vantrel {

enum class TOnFailure {
    EndsRun,    // the run ends: later stages are skipped, no archive is saved
    Contained,  // only this stage's lines are lost; the run goes on
};

enum class TRightsUsed {
    Own,        // the run's own rights throughout
    UsersData,  // reads the user's data with the user's rights (TRunContext::ReadRights)
};

// A stage's work: it reads and fills the run's context and appends to the
// report's lines.
using TStageFn = std::function<void(TRunContext& run, TStringList& lines)>;

struct TStage {
    const wchar_t* Name;  // names the stage in its failure's "Error: " line
    TOnFailure OnFailure;
    bool Steps;  // a progress step follows when the stage returned normally
    TRightsUsed Rights;
    TStageFn Run;  // empty: a stage this table leaves out; the job goes on past it
};

using TReportStages = std::vector<TStage>;

// The tool's stages, in the job's order: seven of them step the progress.
TReportStages DefaultReportStages();

// The same rows with the functions of the job's own rows only (the header
// lines, saving the report, the archive's path); every section, capture,
// collection and packing row is empty, for a caller to fill.
TReportStages JobOwnStages();

// The function of the row named `name`; throws std::out_of_range when the
// table has no such row.
TStageFn& StageFunction(TReportStages& stages, const std::wstring& name);

}  // namespace vantrel
