// Program entry: start-up of the modules, then the main window and its
// message loop. No command line, no settings.
#include "app/main_window_win.h"
#include "log/log_win.h"
#include "platform/system_locale_win.h"
#include "report/system_info_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
    vantrel::CreateLogManager();
    vantrel::CreateSystemInfoList();
    // Regional settings are read once, at start-up.
    vantrel::UserLocale();

    HWND window = vantrel::CreateMainWindow(instance, show_command);
    if (window == nullptr) return 1;
    return vantrel::RunMessageLoop(window);
}
