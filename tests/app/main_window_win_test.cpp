#include "app/main_window_win.h"
#include "job/geninfo_protocol.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>

namespace vantrel {
namespace {

// The main window created inside the test process, hidden, so that its
// controls' fonts and its message handler can be examined directly.
class MainWindowInProcess : public ::testing::Test {
protected:
    static void SetUpTestSuite() { window_ = CreateMainWindow(::GetModuleHandleW(nullptr), SW_HIDE); }
    static HWND Child(const wchar_t* cls, const wchar_t* text) { return ::FindWindowExW(window_, nullptr, cls, text); }
    static LOGFONTW FontOf(HWND control) {
        LOGFONTW lf = {};
        HFONT font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
        EXPECT_NE(::GetObjectW(font, sizeof lf, &lf), 0);
        return lf;
    }
    static HWND window_;
};
HWND MainWindowInProcess::window_ = nullptr;

TEST_F(MainWindowInProcess, TahomaEightPointAndAnUnderlinedLink) {
    ASSERT_NE(window_, nullptr);
    struct Case {
        const wchar_t* cls;
        const wchar_t* text;
        bool underline;
    };
    const Case cases[] = {
        {L"Static", L"Privacy Policy.", true},
        {L"Button", L"Save report to Desktop", false},
    };
    for (const auto& c : cases) {
        HWND control = Child(c.cls, c.text);
        ASSERT_NE(control, nullptr);
        LOGFONTW lf = FontOf(control);
        EXPECT_EQ(std::wstring(lf.lfFaceName), L"Tahoma");
        EXPECT_EQ(lf.lfHeight, -11);
        EXPECT_EQ(lf.lfUnderline != 0, c.underline);
        EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
    }
}

TEST_F(MainWindowInProcess, ProgressMessagesMoveTheBarAndUnknownCodesChangeNothing) {
    HWND bar = ::FindWindowExW(window_, nullptr, PROGRESS_CLASSW, nullptr);
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(::IsWindowVisible(bar) && ::IsWindowVisible(window_));
    EXPECT_EQ(::GetWindowLongW(bar, GWL_STYLE) & WS_VISIBLE, 0);

    ::SendMessageW(window_, WM_GENINFO, GENINFO_START, 10);
    EXPECT_NE(::GetWindowLongW(bar, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_EQ(::SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 10);
    EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 0);

    ::SendMessageW(window_, WM_GENINFO, GENINFO_STEP, 3);
    EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 3);

    for (WPARAM code : {WPARAM{4}, WPARAM{77}}) {
        ::SendMessageW(window_, WM_GENINFO, code, 9);
        EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 3);
        EXPECT_NE(::GetWindowLongW(bar, GWL_STYLE) & WS_VISIBLE, 0);
    }
}

TEST(CursorSlots, HoldTheSystemCursors) {
    SetupSystemCursors();
    EXPECT_EQ(CursorSlot(crHandPoint), ::LoadCursorW(nullptr, IDC_HAND));
    EXPECT_EQ(CursorSlot(crHourGlass), ::LoadCursorW(nullptr, IDC_WAIT));
    EXPECT_EQ(CursorSlot(crDefault), ::LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(CursorSlot(crAppStart), ::LoadCursorW(nullptr, IDC_APPSTARTING));
}

}  // namespace
}  // namespace vantrel
