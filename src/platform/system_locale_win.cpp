#include "platform/system_locale_win.h"

#include "platform/win.h"

namespace vantrel {

namespace {

std::wstring LocaleText(LCTYPE type, const std::wstring& fallback) {
    wchar_t buffer[100] = {};
    int n = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 100);
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
