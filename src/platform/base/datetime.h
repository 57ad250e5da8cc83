// Calendar values and their formatting with the user's regional patterns.
// Pure code: the patterns are read from the system once at start-up and
// handed in as a TLocaleFormats record.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vantrel {

// A local date and time split into calendar fields. The zero value is the
// "zero date-time", 30 December 1899 00:00:00.000.
struct TDateTimeParts {
    int Year = 1899;
    int Month = 12;
    int Day = 30;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Milliseconds = 0;
};

using TDayNames = std::array<std::wstring, 7>;     // Sunday first
using TMonthNames = std::array<std::wstring, 12>;  // January first

// The English names, the record's defaults.
TDayNames EnglishDayNames();
TDayNames EnglishAbbrevDayNames();
TMonthNames EnglishMonthNames();
TMonthNames EnglishAbbrevMonthNames();

// The regional settings the report uses, as read at program start.
struct TLocaleFormats {
    std::wstring ShortDatePattern = L"M/d/yyyy";  // Windows picture syntax
    std::wstring LongTimePattern = L"h:mm:ss tt";
    std::wstring AmDesignator = L"AM";
    std::wstring PmDesignator = L"PM";
    std::wstring TimeSeparator = L":";
    wchar_t DecimalSeparator = L'.';
    TDayNames DayNames = EnglishDayNames();
    TDayNames AbbrevDayNames = EnglishAbbrevDayNames();
    TMonthNames MonthNames = EnglishMonthNames();
    TMonthNames AbbrevMonthNames = EnglishAbbrevMonthNames();
    // The full month names a language uses beside a day number ("5 stycznia"
    // against "styczeń"); the same as MonthNames where it has no such form.
    TMonthNames GenitiveMonthNames = EnglishMonthNames();
    std::wstring Era = L"A.D.";  // of the Gregorian calendar
};

// Formats with a Windows date or time picture: d dd ddd dddd M MM MMM MMMM
// y yy yyyy g, h hh H HH m mm s ss t tt, text in single quotes ('' for a
// quote), anything else copied. Names and the era come from the locale
// record; MMMM takes the genitive month name when the picture also holds a
// day number (d or dd).
std::wstring FormatPicture(const TDateTimeParts& when, const std::wstring& picture, const TLocaleFormats& locale);

// The report's date text: the short date, then, unless hour, minute and
// second are all zero, one blank and the long time.
std::wstring FormatReportDateTime(const TDateTimeParts& when, const TLocaleFormats& locale);

// "yyyy-mm-dd hh:nn:ss.zzz" with the locale's time separator in place of the
// colons.
std::wstring FormatLogStamp(const TDateTimeParts& when, const TLocaleFormats& locale);

// The 17 digits yyyymmddhhnnsszzz used inside file names.
std::wstring FormatFileStamp(const TDateTimeParts& when);

// 100-nanosecond units since 1 January 1601 (a FILETIME) to calendar fields.
TDateTimeParts FileTimeToParts(std::uint64_t ticks);

}  // namespace vantrel
