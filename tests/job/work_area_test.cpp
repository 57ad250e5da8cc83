#include "job/work_area.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

std::vector<std::wstring> Parents(const std::vector<TWorkAreaCandidate>& candidates, bool administrators_only) {
    std::vector<std::wstring> parents;
    for (const auto& c : candidates) {
        EXPECT_EQ(c.AdministratorsOnly, administrators_only);
        parents.push_back(c.Parent);
    }
    return parents;
}

TEST(WorkAreaCandidates, ElevatedRunsUseTheWindowsTempOnly) {
    const TWorkAreaPlaces places = {true, L"C:\\Windows\\Temp", L"C:\\Users\\u\\AppData\\Local\\Temp\\",
                                    L"C:\\Users\\u\\Downloads\\"};
    EXPECT_EQ(Parents(WorkAreaCandidates(places), true), std::vector<std::wstring>{L"C:\\Windows\\Temp"});
    // Never a folder the user controls, not even when the Windows folder is unknown.
    TWorkAreaPlaces no_windows = places;
    no_windows.WindowsTemp.clear();
    EXPECT_TRUE(WorkAreaCandidates(no_windows).empty());
}

TEST(WorkAreaCandidates, UnelevatedRunsUseTheUsersTempThenTheToolsFolder) {
    const TWorkAreaPlaces places = {false, L"C:\\Windows\\Temp", L"C:\\T\\", L"D:\\Tool\\"};
    EXPECT_EQ(Parents(WorkAreaCandidates(places), false), (std::vector<std::wstring>{L"C:\\T\\", L"D:\\Tool\\"}));
    const TWorkAreaPlaces no_temp = {false, L"C:\\Windows\\Temp", L"", L"D:\\Tool\\"};
    EXPECT_EQ(Parents(WorkAreaCandidates(no_temp), false), std::vector<std::wstring>{L"D:\\Tool\\"});
}

}  // namespace
}  // namespace vantrel
