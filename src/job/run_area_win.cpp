#include "job/run_area_win.h"

#include "platform/base/contain_win.h"
#include "platform/base/errors.h"
#include "platform/base/file_io_win.h"
#include "platform/base/text.h"
#include "platform/system/elevation_win.h"
#include "platform/system/folders_win.h"

namespace vantrel {

TRunArea::TRunArea(const TWorkAreaPlaces& places) {
    for (const TWorkAreaCandidate& candidate : WorkAreaCandidates(places)) {
        try {
            folder_.reset(new TPrivateFolder(candidate.Parent, kWorkAreaPrefix, candidate.AdministratorsOnly));
            return;
        } catch (const EToolError& error) {
            // The place's line tells why; the next place is tried.
            RecordFailure(L"working area", DecodeUtf8(error.what()) + L" in " + candidate.Parent, error.SystemCode());
        }
    }
}

std::wstring TRunArea::Path() const { return folder_ ? folder_->Path() : std::wstring(); }

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

}  // namespace vantrel
