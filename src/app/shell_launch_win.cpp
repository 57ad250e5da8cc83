#include "app/shell_launch_win.h"

#include "platform/base/com_win.h"
#include "platform/base/win.h"
#include "platform/system/folders_win.h"

#include <exdisp.h>
#include <oleauto.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

namespace vantrel {

namespace {

// A BSTR freed when it goes away.
class TBstr {
public:
    explicit TBstr(const std::wstring& text) : text_(::SysAllocString(text.c_str())) {}
    ~TBstr() { ::SysFreeString(text_); }
    TBstr(const TBstr&) = delete;
    TBstr& operator=(const TBstr&) = delete;
    BSTR Get() const { return text_; }

private:
    BSTR text_;
};

VARIANT IntVariant(LONG value) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

// The shell's automation object of the desktop's folder view: the shell
// process that shows the desktop, running as the logged-on user.
bool DesktopShellDispatch(ComRef<IShellDispatch2>& shell) {
    ComRef<IShellWindows> windows;
    if (FAILED(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                  windows.Receive()))) {
        return false;
    }
    VARIANT location = IntVariant(CSIDL_DESKTOP);
    VARIANT root;
    ::VariantInit(&root);
    LONG window = 0;
    ComRef<IDispatch> desktop;
    if (windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                              reinterpret_cast<IDispatch**>(desktop.Receive())) != S_OK ||
        !desktop) {
        return false;
    }
    ComRef<IServiceProvider> provider;
    ComRef<IShellBrowser> browser;
    ComRef<IShellView> view;
    ComRef<IDispatch> background;
    ComRef<IShellFolderViewDual> folder_view;
    ComRef<IDispatch> application;
    return SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, provider.Receive())) &&
           SUCCEEDED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.Receive())) &&
           SUCCEEDED(browser->QueryActiveShellView(reinterpret_cast<IShellView**>(view.Receive()))) &&
           SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.Receive())) &&
           SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, folder_view.Receive())) &&
           SUCCEEDED(folder_view->get_Application(reinterpret_cast<IDispatch**>(application.Receive()))) &&
           SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, shell.Receive()));
}

}  // namespace

bool OpenThroughUserShell(const std::wstring& address) {
    ScopedOleInitialize ole;
    ComRef<IShellDispatch2> shell;
    if (!DesktopShellDispatch(shell)) return false;
    TBstr file(address);
    TBstr verb(L"open");
    VARIANT none;
    ::VariantInit(&none);
    VARIANT operation;
    ::VariantInit(&operation);
    operation.vt = VT_BSTR;
    operation.bstrVal = verb.Get();
    return SUCCEEDED(shell->ShellExecute(file.Get(), none, none, operation, IntVariant(SW_SHOWNORMAL)));
}

std::wstring ExplorerPath() {
    const std::wstring windows = GetSharedWindowsDir();
    return windows.empty() ? windows : windows + L"\\explorer.exe";
}

}  // namespace vantrel
