#include "log/log_text.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using vantrel_test::Printable;

TEST(LogFileNames, CandidatesBesideTheExecutableOrTheGivenName) {
    struct Case {
        const wchar_t* log_name;
        const wchar_t* module_path;
        unsigned n;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"", L"D:\\Apps\\tool.exe", 0, L"D:\\Apps\\tool.log"},
        {L"", L"D:\\Apps\\tool.exe", 1, L"D:\\Apps\\tool_1.log"},
        {L"", L"D:\\Apps\\tool.exe", 12, L"D:\\Apps\\tool_12.log"},
        {L"", L"D:\\Apps.v2\\tool", 0, L"D:\\Apps.v2\\tool.log"},
        {L"", L"D:\\Apps.v2\\tool", 1, L"D:\\Apps.v2\\tool_1.log"},
        {L"C:\\logs\\trace.txt", L"D:\\Apps\\tool.exe", 0, L"C:\\logs\\trace.txt"},
        {L"C:\\logs\\trace.txt", L"D:\\Apps\\tool.exe", 2, L"C:\\logs\\trace_2.log"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.expected));
        EXPECT_EQ(LogCandidateName(c.log_name, c.module_path, c.n), c.expected);
    }
    EXPECT_EQ(LogBackupName(L"D:\\Apps\\tool_1.log", 1), L"D:\\Apps\\tool_1.log.bak1");
}

TEST(LogRotation, OnceTheFileHasReachedTheLimit) {
    struct Case {
        std::int64_t size;
        bool rotate;
    };
    const Case cases[] = {
        {0, false},
        {10485759, false},
        {10485760, true},
        {10485761, true},
        {std::int64_t{5} << 30, true},  // beyond what 32 bits hold
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LogNeedsRotation(c.size, kLogMaxSize), c.rotate) << c.size;
    }
}

TEST(LogLine, StampTextAndLineEndInUtf16Le) {
    const TDateTimeParts when{2016, 3, 14, 10, 2, 33, 45};
    TLocaleFormats colon;
    TLocaleFormats point;
    point.TimeSeparator = L".";
    EXPECT_EQ(LogStamp(when, colon), L"2016-03-14 10:02:33.045  ");
    EXPECT_EQ(LogStamp(when, point), L"2016-03-14 10.02.33.045  ");

    struct Case {
        std::wstring stamp;
        std::wstring text;
        std::string expected;
    };
    const std::wstring smile(1, static_cast<wchar_t>(0x263A));
    const Case cases[] = {
        {L"9  ", L"ok", std::string("9\0 \0 \0o\0k\0\r\0\n\0", 14)},
        {L"9  ", L"", std::string("9\0 \0 \0\r\0\n\0", 10)},  // an empty message keeps its stamp
        {L"", L"ok", std::string("o\0k\0\r\0\n\0", 8)},
        {L"", L"\u00e9" + smile, std::string("\xe9\0\x3a\x26\r\0\n\0", 8)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.stamp + c.text));
        EXPECT_EQ(LogLineBytes(c.stamp, c.text), c.expected);
    }
}

}  // namespace
}  // namespace vantrel
