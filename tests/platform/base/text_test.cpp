#include "platform/base/text.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(Utf16File, BomThenEveryLineWithCrLf) {
    std::string bytes = EncodeUtf16LinesFile({L"A", L"", L"\u00e9"});
    EXPECT_EQ(bytes, std::string("\xFF\xFE"
                                 "A\0\r\0\n\0"
                                 "\r\0\n\0"
                                 "\xE9\0\r\0\n\0",
                                 2 + 6 + 4 + 6));
}

TEST(Utf16File, EmptyListIsBomOnly) { EXPECT_EQ(EncodeUtf16LinesFile({}), std::string("\xFF\xFE", 2)); }

TEST(Utf16, RoundTripsOutsideTheBasicPlane) {
    std::wstring text = DecodeUtf8("a\xF0\x9F\x98\x80z");  // U+1F600
    std::string bytes;
    AppendUtf16Le(bytes, text);
    EXPECT_EQ(bytes, std::string("a\0\x3D\xD8\x00\xDEz\0", 8));
    EXPECT_EQ(DecodeUtf16Le(bytes), text);
    EXPECT_EQ(EncodeUtf8(text), "a\xF0\x9F\x98\x80z");
}

TEST(Utf8, InvalidBytesBecomeReplacementCharacters) {
    EXPECT_EQ(DecodeUtf8("a\xFF"
                         "b\xC3"),
              std::wstring(L"a\uFFFDb\uFFFD"));
    EXPECT_EQ(DecodeUtf8("\xC0\x80"), std::wstring(L"\uFFFD\uFFFD"));  // overlong NUL
}

struct PadCase {
    const wchar_t* text;
    std::size_t width;
    const wchar_t* right;
    const wchar_t* left;
};

TEST(Pad, NeverCutsAndFillsToWidth) {
    const PadCase cases[] = {
        {L"ab", 4, L"ab  ", L"  ab"},
        {L"abcd", 4, L"abcd", L"abcd"},
        {L"abcdef", 4, L"abcdef", L"abcdef"},
        {L"", 2, L"  ", L"  "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(vantrel_test::Printable(c.text));
        EXPECT_EQ(PadRight(c.text, c.width), c.right);
        EXPECT_EQ(PadLeft(c.text, c.width), c.left);
    }
}

TEST(Numbers, DecimalHexAndFixed) {
    EXPECT_EQ(DecimalText(std::int64_t{0}), L"0");
    EXPECT_EQ(DecimalText(std::int64_t{-1}), L"-1");
    EXPECT_EQ(DecimalText(std::int64_t{INT64_MIN}), L"-9223372036854775808");
    EXPECT_EQ(DecimalText(std::uint64_t{18446744073709551615ull}), L"18446744073709551615");
    EXPECT_EQ(HexUpper(0x110), L"110");
    EXPECT_EQ(HexUpper(0), L"0");
    EXPECT_EQ(HexLower(0x1a4c, 8), L"00001a4c");
    EXPECT_EQ(Fixed2(465.7587890625, L'.'), L"465.76");
    EXPECT_EQ(Fixed2(1.0, L','), L"1,00");
    EXPECT_EQ(Fixed2(0.0, L'.'), L"0.00");
    EXPECT_EQ(Fixed2(1023.0 / 1024.0, L'.'), L"1.00");
}

TEST(Case, OnlyAsciiLettersChange) {
    EXPECT_EQ(UpperAscii(std::wstring(L"ab\u00e9Z")), std::wstring(L"AB\u00e9Z"));
    EXPECT_TRUE(EqualsNoCaseAscii(L"Explorer.EXE", L"explorer.exe"));
    EXPECT_FALSE(EqualsNoCaseAscii(L"\u00e9", L"\u00c9"));
}

TEST(ReplaceAllNoCase, LeftToRightWithoutRescanning) {
    EXPECT_EQ(ReplaceAllNoCase(L"\\A\\a\\", L"\\a\\", L"\\b\\"), L"\\b\\a\\");
    EXPECT_EQ(ReplaceAllNoCase(L"xAAx", L"a", L"aa"), L"xaaaax");
    EXPECT_EQ(ReplaceAll(L"%X%x%X%", L"%X%", L"-"), L"-x-");
}

TEST(Trim, ControlCharactersAndSpaces) {
    EXPECT_EQ(TrimControl(L" \t a b \r\n"), L"a b");
    EXPECT_TRUE(IsBlank(L" \t\x01"));
    EXPECT_FALSE(IsBlank(L" x "));
}

struct PathCase {
    const wchar_t* path;
    const wchar_t* folder;
    const wchar_t* name;
    const wchar_t* ext;
};

TEST(Paths, FolderNameAndExtension) {
    const PathCase cases[] = {
        {L"C:\\a\\b.txt", L"C:\\a\\", L"b.txt", L".txt"},
        {L"C:b.txt", L"C:", L"b.txt", L".txt"},
        {L"b", L"", L"b", L""},
        {L"C:\\a.d\\b", L"C:\\a.d\\", L"b", L""},
        {L"C:\\a\\", L"C:\\a\\", L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(vantrel_test::Printable(c.path));
        EXPECT_EQ(ExtractFilePath(c.path), c.folder);
        EXPECT_EQ(ExtractFileName(c.path), c.name);
        EXPECT_EQ(ExtractFileExt(c.path), c.ext);
    }
    EXPECT_EQ(ChangeFileExt(L"D:\\Apps\\tool.exe", L".log"), L"D:\\Apps\\tool.log");
    EXPECT_EQ(ChangeFileExt(L"D:\\A.b\\tool", L"_1.log"), L"D:\\A.b\\tool_1.log");
    EXPECT_EQ(IncludeTrailingBackslash(L"C:\\a"), L"C:\\a\\");
    EXPECT_EQ(IncludeTrailingBackslash(L"C:\\a\\"), L"C:\\a\\");
    EXPECT_EQ(ExcludeTrailingBackslash(L"C:\\a\\"), L"C:\\a");
}

}  // namespace
}  // namespace vantrel
