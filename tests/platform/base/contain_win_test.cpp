#include "platform/base/contain_win.h"

#include "platform/base/errors.h"
#include "platform/base/win.h"
#include "platform/system/registry_rules.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace vantrel {
namespace {

std::vector<std::wstring> g_lines;

void Collect(const std::wstring& line) { g_lines.push_back(line); }

// Points contained failures at g_lines for one test.
class ContainedFailure : public ::testing::Test {
protected:
    void SetUp() override {
        g_lines.clear();
        SetFailureWriter(Collect);
    }
    void TearDown() override { SetFailureWriter(nullptr); }
};

TEST_F(ContainedFailure, EachKindOfExceptionLeavesOneLine) {
    const std::wstring denied = SystemErrorText(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(denied.empty());
    struct Case {
        void (*raise)();
        std::wstring line;
    };
    const Case cases[] = {
        {[] { throw EToolError("Cannot open file C:\\x", ERROR_ACCESS_DENIED); },
         L"Error: stage: Cannot open file C:\\x (Windows error 5: " + denied + L")"},
        {[] { throw ERegistryException("Invalid data type for 'v'"); }, L"Error: stage: Invalid data type for 'v'"},
        {[] { throw std::bad_alloc(); }, L"Error: stage: Out of memory"},
        {[] { throw std::runtime_error("caf\xC3\xA9"); }, L"Error: stage: caf\u00e9"},
        {[] { throw 7; }, L"Error: stage: Unknown failure"},
    };
    for (const Case& c : cases) {
        g_lines.clear();
        EXPECT_FALSE(ContainFailure(L"stage", c.raise));
        EXPECT_EQ(g_lines, std::vector<std::wstring>{c.line});
    }
}

TEST_F(ContainedFailure, ABodyThatReturnsWritesNothing) {
    int runs = 0;
    EXPECT_TRUE(ContainFailure(L"stage", [&] { ++runs; }));
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(g_lines.empty());
}

TEST_F(ContainedFailure, AFailureFoundWithoutAnExceptionLeavesOneLine) {
    RecordFailure(L"working folder", L"No working area");
    RecordFailure(L"working folder", L"Cannot create the working folder", ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(g_lines, (std::vector<std::wstring>{L"Error: working folder: No working area",
                                                  L"Error: working folder: Cannot create the working folder "
                                                  L"(Windows error 3: " +
                                                      SystemErrorText(ERROR_PATH_NOT_FOUND) + L")"}));
}

TEST_F(ContainedFailure, WithoutAWriterTheFailureIsStillContained) {
    SetFailureWriter(nullptr);
    EXPECT_FALSE(ContainFailure(L"stage", [] { throw EToolError("x"); }));
    EXPECT_TRUE(g_lines.empty());
}

TEST(SystemErrorText, TheSystemsTextWithoutTheLineBreak) {
    const std::wstring text = SystemErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find_first_of(L"\r\n"), std::wstring::npos);
    EXPECT_NE(text.back(), L' ');
    EXPECT_EQ(SystemErrorText(0xE0FFFFFFu), L"");  // a code the system does not know
}

}  // namespace
}  // namespace vantrel
