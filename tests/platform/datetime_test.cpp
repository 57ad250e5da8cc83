#include "platform/datetime.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TLocaleFormats Locale(const wchar_t* date, const wchar_t* time, const wchar_t* sep = L":") {
    TLocaleFormats l;
    l.ShortDatePattern = date;
    l.LongTimePattern = time;
    l.TimeSeparator = sep;
    return l;
}

struct ReportCase {
    TDateTimeParts when;
    const wchar_t* date_pattern;
    const wchar_t* time_pattern;
    const wchar_t* expected;
};

TEST(ReportDateTime, ShortDateAndLongTimeWithMidnightRule) {
    const ReportCase cases[] = {
        {TDateTimeParts{2016, 3, 14, 10, 2, 33}, L"M/d/yyyy", L"h:mm:ss tt", L"3/14/2016 10:02:33 AM"},
        {TDateTimeParts{2016, 3, 14, 22, 2, 33}, L"M/d/yyyy", L"h:mm:ss tt", L"3/14/2016 10:02:33 PM"},
        {TDateTimeParts{2016, 3, 14, 0, 0, 5}, L"M/d/yyyy", L"h:mm:ss tt", L"3/14/2016 12:00:05 AM"},
        {TDateTimeParts{2016, 3, 14, 0, 0, 0, 999}, L"M/d/yyyy", L"h:mm:ss tt", L"3/14/2016"},
        {TDateTimeParts(), L"M/d/yyyy", L"h:mm:ss tt", L"12/30/1899"},
        {TDateTimeParts{2024, 1, 5, 9, 4, 2}, L"dd.MM.yyyy", L"HH:mm:ss", L"05.01.2024 09:04:02"},
        {TDateTimeParts{2024, 1, 5, 9, 4, 2}, L"yyyy-MM-dd", L"H' h 'm", L"2024-01-05 9 h 4"},
        {TDateTimeParts{2024, 1, 5, 9, 4, 2}, L"ddd d MMM yy", L"h:mm t", L"Fri 5 Jan 24 9:04 A"},
        {TDateTimeParts{2024, 2, 29, 13, 0, 0}, L"dddd, MMMM d", L"'It''s' h", L"Thursday, February 29 It's 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(vantrel_test::Printable(c.expected));
        EXPECT_EQ(FormatReportDateTime(c.when, Locale(c.date_pattern, c.time_pattern)), c.expected);
    }
}

TEST(LogStamp, UsesTheTimeSeparatorForTheColonsOnly) {
    EXPECT_EQ(FormatLogStamp(TDateTimeParts{2016, 3, 14, 10, 2, 33, 45}, Locale(L"", L"")), L"2016-03-14 10:02:33.045");
    EXPECT_EQ(FormatLogStamp(TDateTimeParts{2016, 3, 14, 10, 2, 33, 45}, Locale(L"", L"", L".")), L"2016-03-14 10.02.33.045");
}

TEST(FileStamp, SeventeenDigits) {
    EXPECT_EQ(FormatFileStamp(TDateTimeParts{2024, 1, 31, 9, 45, 2, 71}), L"20240131094502071");
}

TEST(FileTime, CalendarFields) {
    struct Case {
        std::uint64_t ticks;
        TDateTimeParts expected;
    };
    const Case cases[] = {
        {0, TDateTimeParts{1601, 1, 1, 0, 0, 0}},
        {116444736000000000ull, TDateTimeParts{1970, 1, 1, 0, 0, 0}},
        {116444736000000000ull + 951782400ull * 10000000ull + 1234567, TDateTimeParts{2000, 2, 29, 0, 0, 0, 123}},
        {131024233530450000ull, TDateTimeParts{2016, 3, 14, 10, 2, 33, 45}},
    };
    for (const auto& c : cases) {
        TDateTimeParts t = FileTimeToParts(c.ticks);
        EXPECT_EQ(FormatFileStamp(t), FormatFileStamp(c.expected)) << c.ticks;
    }
}

}  // namespace
}  // namespace vantrel
