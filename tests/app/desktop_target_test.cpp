#include "app/desktop_target.h"

#include "platform/base/text.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

std::wstring Upper(const std::wstring& s) { return UpperAscii(s); }

struct MapCase {
    const wchar_t* desktop;
    const wchar_t* session_user;
    const wchar_t* owner;
    const wchar_t* expected;
};

TEST(DesktopMapping, MovesTheOwnersDesktopToTheSessionUser) {
    const MapCase cases[] = {
        // elevated as Admin while Alice is logged on
        {L"C:\\Users\\Admin\\Desktop", L"Alice", L"Admin", L"C:\\Users\\Alice\\Desktop"},
        // matching ignores case on both sides
        {L"C:\\users\\ADMIN\\Desktop", L"Alice", L"admin", L"C:\\users\\Alice\\Desktop"},
        // the same account in another letter case: unchanged
        {L"C:\\Users\\Admin\\Desktop", L"ADMIN", L"Admin", L"C:\\Users\\Admin\\Desktop"},
        // no session user: unchanged
        {L"C:\\Users\\Admin\\Desktop", L"", L"Admin", L"C:\\Users\\Admin\\Desktop"},
        // two separate occurrences are both replaced
        {L"D:\\Admin\\x\\Admin\\Desktop", L"Bob", L"Admin", L"D:\\Bob\\x\\Bob\\Desktop"},
        // adjacent occurrences share a backslash: only the first is replaced
        {L"D:\\Admin\\Admin\\Desktop", L"Bob", L"Admin", L"D:\\Bob\\Admin\\Desktop"},
        // part of a longer folder name: not replaced
        {L"C:\\Users\\Administrator\\Desktop", L"Bob", L"Admin", L"C:\\Users\\Administrator\\Desktop"},
        // empty owner never matches a real folder
        {L"C:\\Users\\Admin\\Desktop", L"Bob", L"", L"C:\\Users\\Admin\\Desktop"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(vantrel_test::Printable(c.desktop));
        EXPECT_EQ(MapDesktopToSessionUser(c.desktop, c.session_user, c.owner, Upper), c.expected);
    }
}

TEST(CompletionMessage, DesktopAnywhereInThePathMeansNoExplorer) {
    struct Case {
        const wchar_t* target;
        bool explorer;
    };
    const Case cases[] = {
        {L"C:\\Users\\Alice\\Desktop\\Vantrel_Debug_Info.zip", false},
        {L"C:\\Users\\Alice\\DESKTOP\\Vantrel_Debug_Info.zip", false},
        {L"C:\\Tools\\mydesktopthings\\Vantrel_Debug_Info.zip", false},
        {L"D:\\Redirected\\Schreibtisch\\Vantrel_Debug_Info.zip", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(vantrel_test::Printable(c.target));
        TCompletionMessage m = CompletionMessageFor(c.target);
        EXPECT_EQ(m.OpenExplorer, c.explorer);
        const std::wstring head = c.explorer
                                      ? L"The info file: Vantrel_Debug_Info.zip has been saved to:\r"
                                      : L"The info file: Vantrel_Debug_Info.zip has been saved to your desktop.\r";
        EXPECT_EQ(m.Text, head + c.target);
    }
}

}  // namespace
}  // namespace vantrel
