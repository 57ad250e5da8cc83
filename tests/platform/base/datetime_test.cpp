#include "platform/base/datetime.h"

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

TLocaleFormats German() {
    TLocaleFormats l = Locale(L"dd.MM.yyyy", L"HH:mm:ss");
    l.DayNames = {L"Sonntag", L"Montag", L"Dienstag", L"Mittwoch", L"Donnerstag", L"Freitag", L"Samstag"};
    l.AbbrevDayNames = {L"So", L"Mo", L"Di", L"Mi", L"Do", L"Fr", L"Sa"};
    l.MonthNames = {L"Januar", L"Februar", L"M\u00e4rz", L"April",   L"Mai",      L"Juni",
                    L"Juli",   L"August",  L"September", L"Oktober", L"November", L"Dezember"};
    l.GenitiveMonthNames = l.MonthNames;
    l.AbbrevMonthNames = {L"Jan", L"Feb", L"M\u00e4r", L"Apr", L"Mai", L"Jun",
                          L"Jul", L"Aug", L"Sep",      L"Okt", L"Nov", L"Dez"};
    l.Era = L"n. Chr.";
    return l;
}

TLocaleFormats Japanese() {
    TLocaleFormats l = Locale(L"yyyy/MM/dd", L"H:mm:ss");
    // 日曜日 月曜日 火曜日 水曜日 木曜日 金曜日 土曜日
    l.DayNames = {L"\u65e5\u66dc\u65e5", L"\u6708\u66dc\u65e5", L"\u706b\u66dc\u65e5", L"\u6c34\u66dc\u65e5",
                  L"\u6728\u66dc\u65e5", L"\u91d1\u66dc\u65e5", L"\u571f\u66dc\u65e5"};
    l.AbbrevDayNames = {L"\u65e5", L"\u6708", L"\u706b", L"\u6c34", L"\u6728", L"\u91d1", L"\u571f"};
    for (int m = 0; m < 12; ++m) {
        l.MonthNames[m] = std::to_wstring(m + 1) + L"\u6708";  // 1月
        l.AbbrevMonthNames[m] = std::to_wstring(m + 1);
    }
    l.GenitiveMonthNames = l.MonthNames;
    l.Era = L"\u897f\u66a6";  // 西暦
    return l;
}

// A language whose month names change beside a day number.
TLocaleFormats Polish() {
    TLocaleFormats l = Locale(L"d MMMM yyyy", L"HH:mm:ss");
    l.MonthNames = EnglishMonthNames();
    l.MonthNames[0] = L"stycze\u0144";
    l.GenitiveMonthNames = EnglishMonthNames();
    l.GenitiveMonthNames[0] = L"stycznia";
    l.AbbrevMonthNames[0] = L"sty";
    return l;
}

struct NamedCase {
    const char* what;
    TLocaleFormats locale;
    TDateTimeParts when;
    const wchar_t* picture;
    const wchar_t* expected;
};

TEST(PictureNames, ComeFromTheLocaleRecord) {
    const TDateTimeParts friday{2024, 1, 5, 9, 4, 2};
    const TDateTimeParts monday{2016, 3, 14, 10, 2, 33};
    const NamedCase cases[] = {
        {"de short names", German(), friday, L"dd-MMM-yy", L"05-Jan-24"},
        {"de umlaut", German(), monday, L"dd-MMM-yy", L"14-M\u00e4r-16"},
        {"de long names", German(), friday, L"dddd, d. MMMM yyyy", L"Freitag, 5. Januar 2024"},
        {"de abbreviated day", German(), monday, L"ddd dd.MM.", L"Mo 14.03."},
        {"de era", German(), friday, L"gg yyyy", L"n. Chr. 2024"},
        {"de one g", German(), friday, L"g", L"n. Chr."},
        {"ja long date", Japanese(), friday, L"yyyy'\u5e74'M'\u6708'd'\u65e5' dddd",
         L"2024\u5e741\u67085\u65e5 \u91d1\u66dc\u65e5"},
        {"ja era and day", Japanese(), monday, L"gg yyyy/MM/dd (ddd)", L"\u897f\u66a6 2016/03/14 (\u6708)"},
        {"ja month names", Japanese(), TDateTimeParts{2023, 12, 31}, L"MMMM MMM", L"12\u6708 12"},
        {"en era", TLocaleFormats(), friday, L"gg", L"A.D."},
        {"en Sunday", TLocaleFormats(), TDateTimeParts{2023, 12, 31}, L"dddd ddd", L"Sunday Sun"},
        {"en Saturday", TLocaleFormats(), TDateTimeParts{2000, 1, 1}, L"dddd ddd MMMM MMM",
         L"Saturday Sat January Jan"},
        {"names in quotes stay text", German(), friday, L"'dddd MMMM gg' d", L"dddd MMMM gg 5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(FormatPicture(c.when, c.picture, c.locale), c.expected) << vantrel_test::Printable(c.expected);
    }
}

TEST(PictureNames, GenitiveMonthOnlyBesideADayNumber) {
    const TDateTimeParts when{2024, 1, 5};
    const NamedCase cases[] = {
        {"day before", Polish(), when, L"d MMMM yyyy", L"5 stycznia 2024"},
        {"day after", Polish(), when, L"MMMM dd", L"stycznia 05"},
        {"no day", Polish(), when, L"MMMM yyyy", L"stycze\u0144 2024"},
        {"day name only", Polish(), when, L"dddd MMMM", L"Friday stycze\u0144"},
        {"day number in quotes", Polish(), when, L"'d' MMMM", L"d stycze\u0144"},
        {"abbreviation stays", Polish(), when, L"d MMM", L"5 sty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(FormatPicture(c.when, c.picture, c.locale), c.expected) << vantrel_test::Printable(c.expected);
    }
}

TEST(ReportDateTime, NamesInTheUsersShortDate) {
    TLocaleFormats german = German();
    german.ShortDatePattern = L"dd-MMM-yy";
    EXPECT_EQ(FormatReportDateTime(TDateTimeParts{2016, 3, 14, 10, 2, 33}, german), L"14-M\u00e4r-16 10:02:33");
    EXPECT_EQ(FormatReportDateTime(TDateTimeParts{2016, 3, 14}, german), L"14-M\u00e4r-16");
}

TEST(LogStamp, UsesTheTimeSeparatorForTheColonsOnly) {
    EXPECT_EQ(FormatLogStamp(TDateTimeParts{2016, 3, 14, 10, 2, 33, 45}, Locale(L"", L"")), L"2016-03-14 10:02:33.045");
    EXPECT_EQ(FormatLogStamp(TDateTimeParts{2016, 3, 14, 10, 2, 33, 45}, Locale(L"", L"", L".")),
              L"2016-03-14 10.02.33.045");
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
