#include "platform/base/system_locale_win.h"

#include "platform/base/datetime.h"
#include "platform/base/win.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace vantrel {
namespace {

using vantrel_test::Printable;

// The system's own formatting of a date picture for the user's locale.
std::wstring SystemFormat(const SYSTEMTIME& when, const wchar_t* picture) {
    wchar_t buffer[200] = {};
    int n = ::GetDateFormatW(LOCALE_USER_DEFAULT, 0, &when, picture, buffer, 200);
    EXPECT_GT(n, 0) << Printable(picture);
    return buffer;
}

SYSTEMTIME Date(WORD year, WORD month, WORD day) {
    SYSTEMTIME when = {};
    when.wYear = year;
    when.wMonth = month;
    when.wDay = day;
    return when;
}

// The record's names against the system's formatting of the same pictures:
// a day or month taken from the wrong index shows as a different name.
TEST(UserLocale, DayAndMonthNamesAreTheSystemsForEveryDayAndMonth) {
    const TLocaleFormats& locale = UserLocale();
    for (WORD day = 2; day <= 8; ++day) {  // 2 January 2000 was a Sunday
        const SYSTEMTIME when = Date(2000, 1, day);
        const std::wstring ours = FormatPicture(SystemTimeToParts(when), L"dddd ddd", locale);
        EXPECT_EQ(ours, SystemFormat(when, L"dddd ddd")) << Printable(ours);
    }
    for (WORD month = 1; month <= 12; ++month) {
        const SYSTEMTIME when = Date(2024, month, 15);
        for (const wchar_t* picture : {L"MMMM MMM", L"d MMMM"}) {
            const std::wstring ours = FormatPicture(SystemTimeToParts(when), picture, locale);
            EXPECT_EQ(ours, SystemFormat(when, picture)) << Printable(ours);
        }
    }
    EXPECT_FALSE(locale.Era.empty());
}

}  // namespace
}  // namespace vantrel
