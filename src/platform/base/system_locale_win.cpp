#include "platform/base/system_locale_win.h"

#include "platform/base/optional_api_win.h"
#include "platform/base/win.h"

namespace vantrel {

namespace {

std::wstring LocaleText(LCTYPE type, const std::wstring& fallback) {
    wchar_t buffer[100] = {};
    int n = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 100);
    if (n <= 1) return fallback;
    return std::wstring(buffer);
}

// The system counts the days from Monday (LOCALE_SDAYNAME1), the record
// from Sunday.
void ReadDayNames(TDayNames& names, LCTYPE monday, const TDayNames& fallback) {
    for (std::size_t day = 0; day < names.size(); ++day) {
        const LCTYPE type = monday + static_cast<LCTYPE>((day + 6) % 7);
        names[day] = LocaleText(type, fallback[day]);
    }
}

void ReadMonthNames(TMonthNames& names, LCTYPE january, const TMonthNames& fallback) {
    for (std::size_t month = 0; month < names.size(); ++month) {
        names[month] = LocaleText(january + static_cast<LCTYPE>(month), fallback[month]);
    }
}

// The era of the Gregorian calendar, the one the report's dates are written
// in, in the user's language.
std::wstring EraText(const std::wstring& fallback) {
    const auto get_calendar_info = optional_api::GetCalendarInfoW();
    if (get_calendar_info == nullptr) return fallback;
    wchar_t buffer[100] = {};
    int n = get_calendar_info(LOCALE_USER_DEFAULT, CAL_GREGORIAN, CAL_SERASTRING, buffer, 100, nullptr);
    if (n <= 1) return fallback;
    return std::wstring(buffer);
}

TLocaleFormats ReadLocale() {
    TLocaleFormats defaults;
    TLocaleFormats locale;
    locale.ShortDatePattern = LocaleText(LOCALE_SSHORTDATE, defaults.ShortDatePattern);
    locale.LongTimePattern = LocaleText(LOCALE_STIMEFORMAT, defaults.LongTimePattern);
    locale.AmDesignator = LocaleText(LOCALE_S1159, L"");
    locale.PmDesignator = LocaleText(LOCALE_S2359, L"");
    locale.TimeSeparator = LocaleText(LOCALE_STIME, defaults.TimeSeparator);
    std::wstring decimal = LocaleText(LOCALE_SDECIMAL, L".");
    locale.DecimalSeparator = decimal.empty() ? L'.' : decimal[0];
    ReadDayNames(locale.DayNames, LOCALE_SDAYNAME1, defaults.DayNames);
    ReadDayNames(locale.AbbrevDayNames, LOCALE_SABBREVDAYNAME1, defaults.AbbrevDayNames);
    ReadMonthNames(locale.MonthNames, LOCALE_SMONTHNAME1, defaults.MonthNames);
    ReadMonthNames(locale.AbbrevMonthNames, LOCALE_SABBREVMONTHNAME1, defaults.AbbrevMonthNames);
    // Systems before Windows 7 refuse the flag; their dates use the
    // nominative names everywhere.
    ReadMonthNames(locale.GenitiveMonthNames, LOCALE_SMONTHNAME1 | LOCALE_RETURN_GENITIVE_NAMES, locale.MonthNames);
    locale.Era = EraText(defaults.Era);
    return locale;
}

}  // namespace

const TLocaleFormats& UserLocale() {
    static const TLocaleFormats locale = ReadLocale();
    return locale;
}

TDateTimeParts SystemTimeToParts(const SYSTEMTIME& time) {
    TDateTimeParts t;
    t.Year = time.wYear;
    t.Month = time.wMonth;
    t.Day = time.wDay;
    t.Hour = time.wHour;
    t.Minute = time.wMinute;
    t.Second = time.wSecond;
    t.Milliseconds = time.wMilliseconds;
    return t;
}

TDateTimeParts LocalNow() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return SystemTimeToParts(now);
}

}  // namespace vantrel
