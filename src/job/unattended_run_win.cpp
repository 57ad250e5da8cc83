#include "job/unattended_run_win.h"

#include "job/report_job_win.h"
#include "job/run_area_win.h"
#include "platform/base/contain_win.h"
#include "platform/base/file_io_win.h"

namespace vantrel {

TRunEnd RunReportAndSave(const TReportStages& stages, TRunContext& run, const TWorkAreaPlaces& places,
                         const TSaveArchiveFn& save) {
    try {
        TRunArea area(places);
        const std::wstring archive = GenInfo(stages, run, area);
        if (archive.empty() || !FileExists(archive)) return TRunEnd::NoArchive;
        return save(archive) ? TRunEnd::Saved : TRunEnd::NotSaved;
    } catch (...) {
        RecordCurrentFailure(L"report job");
        return TRunEnd::NoArchive;
    }
}

}  // namespace vantrel
