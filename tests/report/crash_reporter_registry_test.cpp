#include "report/crash_reporter_registry.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(ReportSections, RegisterReplacesOnlyTheTextFunctionOfAnExistingName) {
    TReportSectionRegistry registry;
    registry.Register(L"processes", L"list of running processes", [] { return std::wstring(L"p1"); });
    registry.Register(L"modules", L"list of loaded modules", [] { return std::wstring(L"m"); });
    registry.Register(L"processes", L"other description", [] { return std::wstring(L"p2"); });

    ASSERT_EQ(registry.Sections().size(), 2u);
    const TReportSection* processes = registry.Find(L"processes");
    ASSERT_NE(processes, nullptr);
    EXPECT_EQ(&registry.Sections()[0], processes);
    EXPECT_EQ(processes->Description, L"list of running processes");
    EXPECT_TRUE(processes->Enabled);
    EXPECT_EQ(processes->TextFunction(), L"p2");
}

TEST(ReportSections, NamesDifferingInLetterCaseAreDifferentSections) {
    TReportSectionRegistry registry;
    registry.Register(L"modules", L"a", [] { return std::wstring(L"1"); });
    registry.Register(L"Modules", L"b", [] { return std::wstring(L"2"); });
    EXPECT_EQ(registry.Sections().size(), 2u);
    EXPECT_EQ(registry.Find(L"MODULES"), nullptr);
    EXPECT_FALSE(registry.Remove(L"MODULES"));
    EXPECT_TRUE(registry.Remove(L"Modules"));
    ASSERT_NE(registry.Find(L"modules"), nullptr);
    EXPECT_EQ(registry.Find(L"modules")->TextFunction(), L"1");
}

TEST(ReportSections, RemoveByNameKeepsTheOthersInOrder) {
    TReportSectionRegistry registry;
    for (const wchar_t* name : {L"a", L"b", L"c"}) registry.Register(name, L"", [] { return std::wstring(); });
    EXPECT_TRUE(registry.Remove(L"b"));
    EXPECT_FALSE(registry.Remove(L"b"));
    ASSERT_EQ(registry.Sections().size(), 2u);
    EXPECT_EQ(registry.Sections()[0].Name, L"a");
    EXPECT_EQ(registry.Sections()[1].Name, L"c");
    // a removed name registers anew at the end
    registry.Register(L"b", L"again", [] { return std::wstring(); });
    EXPECT_EQ(registry.Sections().back().Description, L"again");
}

}  // namespace
}  // namespace vantrel
