#include "platform/base/datetime.h"

#include "platform/base/text.h"

#include <vector>

namespace vantrel {

namespace {

std::wstring Num(int value, std::size_t digits) {
    return PadLeft(DecimalText(static_cast<std::int64_t>(value)), digits, L'0');
}

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return (month == 2 && IsLeap(year)) ? 29 : kDays[month - 1];
}

// 0 = Sunday.
int DayOfWeek(int year, int month, int day) {
    static const int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3) year -= 1;
    return (year + year / 4 - year / 100 + year / 400 + kOffsets[month - 1] + day) % 7;
}

bool IsFieldLetter(wchar_t c) {
    return c == L'd' || c == L'M' || c == L'y' || c == L'h' || c == L'H' || c == L'm' || c == L's' || c == L't' ||
           c == L'g';
}

// One piece of a picture: a run of one field letter, or literal text.
struct TPictureToken {
    wchar_t Letter = 0;  // 0 for literal text
    std::size_t Count = 0;
    std::wstring Text;
};

std::vector<TPictureToken> SplitPicture(const std::wstring& picture) {
    std::vector<TPictureToken> tokens;
    auto literal = [&tokens](wchar_t c) {
        if (tokens.empty() || tokens.back().Letter != 0) tokens.emplace_back();
        tokens.back().Text.push_back(c);
    };
    std::size_t i = 0;
    while (i < picture.size()) {
        wchar_t c = picture[i];
        if (c == L'\'') {
            ++i;
            while (i < picture.size()) {
                if (picture[i] == L'\'') {
                    if (i + 1 < picture.size() && picture[i + 1] == L'\'') {
                        literal(L'\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                literal(picture[i++]);
            }
            continue;
        }
        if (IsFieldLetter(c)) {
            std::size_t run = 1;
            while (i + run < picture.size() && picture[i + run] == c) ++run;
            tokens.push_back(TPictureToken{c, run, std::wstring()});
            i += run;
            continue;
        }
        literal(c);
        ++i;
    }
    return tokens;
}

bool HasDayNumber(const std::vector<TPictureToken>& tokens) {
    for (const auto& token : tokens) {
        if (token.Letter == L'd' && token.Count <= 2) return true;
    }
    return false;
}

std::wstring FormatField(const TDateTimeParts& t, const TPictureToken& field, bool genitive,
                         const TLocaleFormats& locale) {
    const std::size_t count = field.Count;
    int hour12 = t.Hour % 12 == 0 ? 12 : t.Hour % 12;
    const std::wstring& designator = t.Hour < 12 ? locale.AmDesignator : locale.PmDesignator;
    switch (field.Letter) {
        case L'd': {
            if (count <= 2) return Num(t.Day, count);
            int weekday = DayOfWeek(t.Year, t.Month, t.Day);
            return count == 3 ? locale.AbbrevDayNames[weekday] : locale.DayNames[weekday];
        }
        case L'M': {
            if (count <= 2) return Num(t.Month, count);
            std::size_t month = static_cast<std::size_t>(t.Month - 1) % 12;
            if (count == 3) return locale.AbbrevMonthNames[month];
            return genitive ? locale.GenitiveMonthNames[month] : locale.MonthNames[month];
        }
        case L'y':
            if (count == 1) return Num(t.Year % 100, 1);
            if (count == 2) return Num(t.Year % 100, 2);
            return Num(t.Year, 4);
        case L'h': return Num(hour12, count >= 2 ? 2 : 1);
        case L'H': return Num(t.Hour, count >= 2 ? 2 : 1);
        case L'm': return Num(t.Minute, count >= 2 ? 2 : 1);
        case L's': return Num(t.Second, count >= 2 ? 2 : 1);
        case L't': return count == 1 ? designator.substr(0, 1) : designator;
        case L'g': return locale.Era;
        default: return std::wstring(count, field.Letter);
    }
}

}  // namespace

TDayNames EnglishDayNames() {
    return {L"Sunday", L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday"};
}

TDayNames EnglishAbbrevDayNames() { return {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"}; }

TMonthNames EnglishMonthNames() {
    return {L"January", L"February", L"March",     L"April",   L"May",      L"June",
            L"July",    L"August",   L"September", L"October", L"November", L"December"};
}

TMonthNames EnglishAbbrevMonthNames() {
    return {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun", L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
}

std::wstring FormatPicture(const TDateTimeParts& when, const std::wstring& picture, const TLocaleFormats& locale) {
    const std::vector<TPictureToken> tokens = SplitPicture(picture);
    const bool genitive = HasDayNumber(tokens);
    std::wstring out;
    for (const auto& token : tokens) {
        out += token.Letter == 0 ? token.Text : FormatField(when, token, genitive, locale);
    }
    return out;
}

std::wstring FormatReportDateTime(const TDateTimeParts& when, const TLocaleFormats& locale) {
    std::wstring out = FormatPicture(when, locale.ShortDatePattern, locale);
    if (when.Hour != 0 || when.Minute != 0 || when.Second != 0) {
        out += L" " + FormatPicture(when, locale.LongTimePattern, locale);
    }
    return out;
}

std::wstring FormatLogStamp(const TDateTimeParts& when, const TLocaleFormats& locale) {
    const std::wstring& sep = locale.TimeSeparator;
    return Num(when.Year, 4) + L"-" + Num(when.Month, 2) + L"-" + Num(when.Day, 2) + L" " + Num(when.Hour, 2) + sep +
           Num(when.Minute, 2) + sep + Num(when.Second, 2) + L"." + Num(when.Milliseconds, 3);
}

std::wstring FormatFileStamp(const TDateTimeParts& when) {
    return Num(when.Year, 4) + Num(when.Month, 2) + Num(when.Day, 2) + Num(when.Hour, 2) + Num(when.Minute, 2) +
           Num(when.Second, 2) + Num(when.Milliseconds, 3);
}

TDateTimeParts FileTimeToParts(std::uint64_t ticks) {
    TDateTimeParts t;
    std::uint64_t ms_total = ticks / 10000;
    t.Milliseconds = static_cast<int>(ms_total % 1000);
    std::uint64_t secs = ms_total / 1000;
    t.Second = static_cast<int>(secs % 60);
    t.Minute = static_cast<int>((secs / 60) % 60);
    t.Hour = static_cast<int>((secs / 3600) % 24);
    std::uint64_t days = secs / 86400;
    int year = 1601;
    while (true) {
        int len = IsLeap(year) ? 366 : 365;
        if (days < static_cast<std::uint64_t>(len)) break;
        days -= len;
        ++year;
    }
    int month = 1;
    while (days >= static_cast<std::uint64_t>(DaysInMonth(year, month))) {
        days -= DaysInMonth(year, month);
        ++month;
    }
    t.Year = year;
    t.Month = month;
    t.Day = static_cast<int>(days) + 1;
    return t;
}

}  // namespace vantrel
