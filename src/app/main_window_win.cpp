#include "app/main_window_win.h"

#include "app/desktop_target.h"
#include "app/desktop_target_win.h"
#include "app/shell_launch_win.h"
#include "job/geninfo_protocol.h"
#include "job/report_job_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <utility>

namespace vantrel {

const wchar_t kPrivacyPolicyAddress[] = L"https://www.vantrel.com/privacy.php";

namespace {

const wchar_t kClassName[] = L"TForm_OrbeloInfo";
const wchar_t kCaption[] = L"Vantrel Helper V2";
const wchar_t kExplanation[] =
    L"This tool will collect information to help us diagnose and fix the problem you are "
    L"experiencing with our product. By sending us the report, you accept our ";
const wchar_t kLinkText[] = L"Privacy Policy.";
const wchar_t kButtonText[] = L"Save report to Desktop";

const int kClientWidth = 305;
const int kClientHeight = 147;

enum TControlId { idLabel1 = 101, idLabel2 = 102, idButtonGen = 103, idProgress = 104 };

struct TControlLayout {
    const wchar_t* ClassName;
    const wchar_t* Text;
    TControlId Id;
    DWORD Style;
    int Left, Top, Width, Height;
};

// In creation order, which is also the tab order: the button first, the bar
// second.
const TControlLayout kControls[] = {
    {L"BUTTON", kButtonText, idButtonGen, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 61, 91, 169, 25},
    {PROGRESS_CLASSW, L"", idProgress, WS_CHILD | PBS_SMOOTH, 44, 122, 253, 17},
    {L"STATIC", kExplanation, idLabel1, WS_CHILD | WS_VISIBLE | SS_LEFT, 29, 16, 252, 41},
    {L"STATIC", kLinkText, idLabel2, WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOTIFY, 29, 57, 69, 13},
};

HCURSOR g_cursors[crCount] = {};
TCursorRole g_screen_cursor = crDefault;  // the application-wide cursor
bool g_job_running = false;

struct TWindowState {
    HWND Window = nullptr;
    HWND Label2 = nullptr;
    HWND Button = nullptr;
    HWND Progress = nullptr;
    HFONT Font = nullptr;
    HFONT LinkFont = nullptr;
    std::wstring Target;  // where the running or last job saves the archive
};
TWindowState g_form;
// Made ready when the window opens; taken by the first run.
std::unique_ptr<TPreparedRun> g_prepared;

HFONT MakeTahoma(bool underline) {
    return ::CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, underline ? TRUE : FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                         L"Tahoma");
}

// Handles the window messages that are waiting, once.
void ProcessMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (g_form.Window != nullptr && ::IsDialogMessageW(g_form.Window, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void SetScreenCursor(TCursorRole role) {
    g_screen_cursor = role;
    ::SetCursor(CursorSlot(role == crDefault ? crArrow : role));
}

void ShowInformation(const std::wstring& text) {
    ::MessageBoxW(g_form.Window, text.c_str(), L"Information", MB_OK | MB_ICONINFORMATION);
}

void Button_GenClick() {
    ::EnableWindow(g_form.Button, FALSE);
    SetScreenCursor(crHourGlass);
    ProcessMessages();
    g_form.Target = ComputeTargetFile();
    g_job_running = TGenInfoThread::Start(g_form.Window, g_form.Target, std::move(g_prepared));
    if (!g_job_running) {
        // No worker: the run fails at once, as a job would that saved nothing.
        ::SendMessageW(g_form.Window, WM_GENINFO, GENINFO_FAILED, 0);
    }
}

void Label2Click() { OpenLink(kPrivacyPolicyAddress); }

// Fills and hides the bar and returns the window to its idle look.
void FinishProgress() {
    LRESULT max = ::SendMessageW(g_form.Progress, PBM_GETRANGE, FALSE, 0);
    ::SendMessageW(g_form.Progress, PBM_SETPOS, static_cast<WPARAM>(max), 0);
    ProcessMessages();
    ::ShowWindow(g_form.Progress, SW_HIDE);
    ::SendMessageW(g_form.Progress, PBM_SETPOS, 0, 0);
    ::EnableWindow(g_form.Button, TRUE);
    SetScreenCursor(crDefault);
    ProcessMessages();
}

void WMGenInfo(WPARAM code, LPARAM value) {
    switch (code) {
        case GENINFO_START:
            ::SendMessageW(g_form.Progress, PBM_SETPOS, 0, 0);
            ::SendMessageW(g_form.Progress, PBM_SETRANGE32, 0, value);
            ::ShowWindow(g_form.Progress, SW_SHOW);
            ProcessMessages();
            break;
        case GENINFO_STEP:
            ::SendMessageW(g_form.Progress, PBM_SETPOS, static_cast<WPARAM>(value), 0);
            ProcessMessages();
            break;
        case GENINFO_DONE: {
            FinishProgress();
            TCompletionMessage message = CompletionMessageFor(g_form.Target);
            ShowInformation(message.Text);
            if (message.OpenExplorer) {
                std::wstring parameters = L"/select," + g_form.Target;
                const std::wstring explorer = ExplorerPath();
                if (!explorer.empty()) {
                    ::ShellExecuteW(nullptr, L"open", explorer.c_str(), parameters.c_str(), nullptr, SW_SHOW);
                }
            }
            ::TerminateProcess(::GetCurrentProcess(), 0);
            break;
        }
        case GENINFO_FAILED:
            FinishProgress();
            g_job_running = false;
            ::MessageBoxW(g_form.Window, L"The info file save failed", L"Error", MB_OK | MB_ICONERROR);
            break;
        default: break;
    }
}

void CreateControls(HWND window) {
    g_form.Font = MakeTahoma(false);
    g_form.LinkFont = MakeTahoma(true);
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(window, GWLP_HINSTANCE));
    for (const auto& c : kControls) {
        HWND control = ::CreateWindowExW(0, c.ClassName, c.Text, c.Style, c.Left, c.Top, c.Width, c.Height, window,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.Id)), instance, nullptr);
        HFONT font = c.Id == idLabel2 ? g_form.LinkFont : g_form.Font;
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (c.Id == idLabel2) g_form.Label2 = control;
        if (c.Id == idButtonGen) g_form.Button = control;
        if (c.Id == idProgress) g_form.Progress = control;
    }
}

void FormCreate(HWND window) {
    g_form.Window = window;
    SetupSystemCursors();
    CreateControls(window);
    ::SetWindowTextW(window, kCaption);
}

bool OnSetCursor(HWND over, WORD hit_test) {
    if (hit_test != HTCLIENT) return false;
    if (g_screen_cursor != crDefault) {
        ::SetCursor(CursorSlot(g_screen_cursor));
    } else if (over == g_form.Label2) {
        ::SetCursor(CursorSlot(crHandPoint));
    } else {
        ::SetCursor(CursorSlot(crDefault));
    }
    return true;
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE: FormCreate(window); return 0;
        case WM_COMMAND:
            if (LOWORD(wparam) == idButtonGen && HIWORD(wparam) == BN_CLICKED) Button_GenClick();
            if (LOWORD(wparam) == idLabel2 && HIWORD(wparam) == STN_CLICKED) Label2Click();
            return 0;
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wparam);
            ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
            ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
            return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_SETCURSOR:
            if (OnSetCursor(reinterpret_cast<HWND>(wparam), LOWORD(lparam))) return TRUE;
            break;
        case WM_GENINFO: WMGenInfo(wparam, lparam); return 0;
        case WM_DESTROY: ::PostQuitMessage(0); return 0;
        default: break;
    }
    return ::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

void SetupSystemCursors() {
    static const LPCWSTR kSystemCursors[crCount] = {
        IDC_ARROW,   IDC_ARROW,   IDC_CROSS, IDC_IBEAM, IDC_SIZENESW,    IDC_SIZENS, IDC_SIZENWSE, IDC_SIZEWE,
        IDC_SIZEALL, IDC_UPARROW, IDC_WAIT,  IDC_NO,    IDC_APPSTARTING, IDC_HELP,   IDC_HAND};
    for (int role = 0; role < crCount; ++role) {
        HCURSOR cursor = ::LoadCursorW(nullptr, kSystemCursors[role]);
        if (cursor != nullptr) g_cursors[role] = cursor;
    }
}

HCURSOR CursorSlot(TCursorRole role) {
    if (g_cursors[role] != nullptr) return g_cursors[role];
    return ::LoadCursorW(nullptr, IDC_ARROW);
}

void OpenLink(const std::wstring& address) {
    // The browser starts with the logged-on user's rights where that user's
    // shell can be asked; only without one does the tool start it itself.
    if (OpenThroughUserShell(address)) return;
    const HINSTANCE result = ::ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(result) <= 32) {
        ::ShellExecuteW(nullptr, L"open", L"IExplore.EXE", address.c_str(), nullptr, SW_SHOWNORMAL);
    }
}

HWND CreateMainWindow(HINSTANCE instance, int show_command) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = FormProc;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    if (!::RegisterClassExW(&wc)) return nullptr;

    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD ex_style = WS_EX_TOOLWINDOW | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
    RECT frame = {0, 0, kClientWidth, kClientHeight};
    ::AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    int left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;

    HWND window = ::CreateWindowExW(ex_style, kClassName, L"", style, left, top, width, height, nullptr, nullptr,
                                    instance, nullptr);
    if (window == nullptr) return nullptr;
    ::ShowWindow(window, show_command);
    ::UpdateWindow(window);
    ::SetFocus(g_form.Button);
    // The window is on the screen: the run's area is made and the
    // system-information command started while the user reads.
    g_prepared = PrepareRun();
    return window;
}

int RunMessageLoop(HWND window) {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (::IsDialogMessageW(window, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    if (g_job_running) {
        // The window was closed while a report was being built: the job ends
        // with the process, before any finalisation could pull data from under it.
        ::TerminateProcess(::GetCurrentProcess(), 0);
    }
    // Closed without a run: the command made ready is ended and its area
    // removed.
    g_prepared.reset();
    return static_cast<int>(msg.wParam);
}

}  // namespace vantrel
