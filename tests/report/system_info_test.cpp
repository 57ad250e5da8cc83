#include "report/system_info.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using vantrel_test::Printable;

// Stands in for the console code page: marks every byte so a test sees
// which decoder ran.
std::wstring PlainMarker(const std::string& bytes) { return L"plain:" + WidenLatin1(bytes); }

TEST(SystemInfoRawName, SeventeenDigitsOfTheLocalTime) {
    const TDateTimeParts when{2024, 1, 31, 9, 45, 2, 71};
    EXPECT_EQ(SystemInfoRawName(when), L"SystemInfo_20240131094502071.txt");
}

TEST(SystemInfoCommandLine, TheQuotedProgramPathAlone) {
    EXPECT_EQ(SystemInfoCommandLine(L"C:\\Windows\\system32\\systeminfo.exe"),
              L"\"C:\\Windows\\system32\\systeminfo.exe\"");
    EXPECT_EQ(SystemInfoCommandLine(L"D:\\Win dows\\system32\\systeminfo.exe"),
              L"\"D:\\Win dows\\system32\\systeminfo.exe\"");
}

TEST(DecodeCommandOutput, ByteOrderMarkChoosesTheDecoder) {
    struct Case {
        const char* name;
        std::string bytes;
        std::wstring text;
    };
    const Case cases[] = {
        {"utf-16le",
         std::string("\xFF\xFE"
                     "A\0\xE9\0\r\0\n\0",
                     10),
         L"A\u00e9\r\n"},
        {"utf-16be",
         std::string("\xFE\xFF"
                     "\0A\x04\x16",
                     6),
         L"A\u0416"},
        {"utf-16le odd byte dropped",
         std::string("\xFF\xFE"
                     "A\0B",
                     5),
         L"A"},
        {"utf-8",
         "\xEF\xBB\xBF"
         "Gr\xC3\xBC\xC3\x9F"
         "e",
         L"Gr\u00fc\u00dfe"},
        {"no mark", "Host\x84", L"plain:Host\u0084"},
        {"lone FF is no mark",
         "\xFF"
         "A",
         L"plain:\u00ff"
         L"A"},
        {"empty", "", L"plain:"},
        {"mark only", "\xEF\xBB\xBF", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecodeCommandOutput(c.bytes, PlainMarker), c.text);
    }
}

TEST(DecodeCommandOutput, ZeroCharacterEndsTheText) {
    EXPECT_EQ(DecodeCommandOutput(std::string("ab\0cd", 5), WidenLatin1), L"ab");
    EXPECT_EQ(DecodeCommandOutput(std::string("\xFF\xFE"
                                              "a\0\0\0b\0",
                                              8),
                                  WidenLatin1),
              L"a");
    EXPECT_EQ(DecodeCommandOutput(std::string("\xEF\xBB\xBF"
                                              "a\0b",
                                              6),
                                  WidenLatin1),
              L"a");
}

TEST(SplitOutputLines, EveryKindOfLineBreak) {
    struct Case {
        const wchar_t* text;
        TStringList lines;
    };
    const Case cases[] = {
        {L"", {}},
        {L"a", {L"a"}},
        {L"a\r\n", {L"a"}},
        {L"a\r\nb", {L"a", L"b"}},
        {L"a\rb\nc\r\nd", {L"a", L"b", L"c", L"d"}},
        {L"a\n\rb", {L"a", L"", L"b"}},  // LF then a lone CR: two breaks
        {L"\r\n", {L""}},
        {L"\r\n\r\n", {L"", L""}},
        {L"a\r\n\r\n", {L"a", L""}},
        {L"a\r", {L"a"}},
        {L"\nx", {L"", L"x"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.text));
        EXPECT_EQ(SplitOutputLines(c.text), c.lines);
    }
}

TEST(SystemInfoLines, StampEmptyLineTitleThenOutput) {
    EXPECT_EQ(SystemInfoLines(L"1/31/2024 9:45:02 AM", {L"Host Name: X", L""}),
              (TStringList{L"1/31/2024 9:45:02 AM", L"", L"===== System =====", L"Host Name: X", L""}));
    EXPECT_EQ(SystemInfoLines(L"1/31/2024", {}), (TStringList{L"1/31/2024", L"", L"===== System ====="}));
}

}  // namespace
}  // namespace vantrel
