#include "job/work_area.h"

namespace vantrel {

const wchar_t kWorkAreaPrefix[] = L"GetInfoDir.";

std::wstring WorkDirIn(const std::wstring& area) { return area.empty() ? area : area + L"GetInfoDir\\"; }

std::wstring ArchivePathIn(const std::wstring& area) { return area.empty() ? area : area + L"Vantrelt_Debug_Info.zip"; }

std::vector<TWorkAreaCandidate> WorkAreaCandidates(const TWorkAreaPlaces& places) {
    std::vector<TWorkAreaCandidate> candidates;
    if (places.Elevated) {
        if (!places.WindowsTemp.empty()) candidates.push_back({places.WindowsTemp, true});
        return candidates;
    }
    if (!places.UserTemp.empty()) candidates.push_back({places.UserTemp, false});
    if (!places.ProgramDir.empty()) candidates.push_back({places.ProgramDir, false});
    return candidates;
}

}  // namespace vantrel
