#include "platform/system/version_info.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(VersionNumber, FourUnsignedPartsHighWordFirst) {
    EXPECT_EQ(FormatVersionNumber(0x00010000, 0x00000000), L"1.0.0.0");
    EXPECT_EQ(FormatVersionNumber(0x00030000, 0x00010070), L"3.0.1.112");
    EXPECT_EQ(FormatVersionNumber(0xFFFFFFFF, 0xFFFFFFFF), L"65535.65535.65535.65535");
}

TEST(TranslationKey, LanguageThenCodePageInUpperHex) {
    EXPECT_EQ(TranslationKey(0x04B00409), L"040904B0");
    EXPECT_EQ(TranslationKey(0x04E40409), L"040904E4");
}

TEST(FileInfoItem, SelectorZeroIsCommentsAndTenIsTheExtraValue) {
    TFileInfo info;
    info.Comments = L"c";
    info.CompanyName = L"co";
    info.FileDescription = L"fd";
    info.FileVersion = L"fv";
    info.InternalName = L"in";
    info.LegalCopyright = L"lc";
    info.LegalTrademarks = L"lt";
    info.OriginalFileName = L"of";
    info.ProductName = L"pn";
    info.ProductVersion = L"pv";
    info.ExtraValue = L"wow";
    const wchar_t* expected[] = {L"c", L"co", L"fd", L"fv", L"in", L"lc", L"lt", L"of", L"pn", L"pv", L"wow", L"", L""};
    for (unsigned selector = 0; selector < 13; ++selector) {
        EXPECT_EQ(SelectFileInfoItem(info, selector), expected[selector]) << selector;
    }
}

}  // namespace
}  // namespace vantrel
