#include "platform/base/file_io_win.h"
#include "platform/base/text.h"
#include "platform/system/version_info.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using vantrel_test::FixtureDir;

std::wstring Fixture(const wchar_t* name) { return FixtureDir() + L"versioned\\" + name; }

TEST(FileInfoItem, ReadsTheStringTableOfTheTranslation) {
    const std::wstring file = Fixture(L"full.dll");
    EXPECT_EQ(GetFileInfoItem(file, 3, L"Unknown"), L"1, 0, 0, 1");
    EXPECT_EQ(GetFileInfoItem(file, 1, L"Unknown"), L"Fixture Company");
    EXPECT_EQ(GetFileInfoItem(file, 0, L"Unknown"), L"a comment");
    EXPECT_EQ(GetFileInfoItem(file, 9, L"Unknown"), L"2.5");
    EXPECT_EQ(GetFileInfoItem(file, 10, L"Unknown"), L"wow 1");
    // readable, but the item is missing: empty text, not the default
    EXPECT_EQ(GetFileInfoItem(file, 6, L"Unknown"), L"");
    EXPECT_EQ(GetFileInfoItem(file, 11, L"Unknown"), L"");
}

TEST(FileInfoItem, FallsBackToTheFirstStringTableWhenTheTranslationNamesNone) {
    EXPECT_EQ(GetFileInfoItem(Fixture(L"othertable.dll"), 3, L"Unknown"), L"7.7.7.7-de");
}

TEST(FileInfoItem, DefaultWithoutTranslationResourceOrFile) {
    EXPECT_EQ(GetFileInfoItem(Fixture(L"notranslation.dll"), 3, L"Unknown"), L"Unknown");
    EXPECT_EQ(GetFileInfoItem(Fixture(L"noresource.dll"), 3, L"Unknown"), L"Unknown");
    EXPECT_EQ(GetFileInfoItem(Fixture(L"missing.dll"), 3, L"Unknown"), L"Unknown");
}

TEST(FileVersionNumber, FixedPartOnly) {
    struct Case {
        const wchar_t* file;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"full.dll", L"1.0.0.1"},
        {L"othertable.dll", L"65535.0.7.7"},
        {L"notranslation.dll", L"1.0.0.0"},
        {L"noresource.dll", L""},
        {L"missing.dll", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetFileVersionNumber(Fixture(c.file)), c.expected) << vantrel::EncodeUtf8(c.file);
    }
}

}  // namespace
}  // namespace vantrel
