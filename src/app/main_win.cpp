// Program entry: start-up of the modules, then the main window and its
// message loop. No command line, no settings.
#include "app/main_window_win.h"
#include "log/log_win.h"
#include "platform/base/optional_api_win.h"
#include "platform/base/system_locale_win.h"
#include "platform/system/folders_win.h"
#include "platform/system/identity_win.h"
#include "report/process_inventory_win.h"
#include "report/system_info_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
    // Before anything loads a DLL: no DLL is looked up in the current folder,
    // and where the system allows it, none outside the system folder.
    vantrel::RestrictDllSearch();
    vantrel::CreateLogManager();
    vantrel::CreateSystemInfoList();
    // Regional settings are read once, at start-up.
    vantrel::UserLocale();
    // The crash reporter's sections of the process and module inventory.
    vantrel::RegisterInventorySections();
    vantrel::InitIdentity();
    vantrel::CreateReportAppFrame();

    HWND window = vantrel::CreateMainWindow(instance, show_command);
    int exit_code = window == nullptr ? 1 : vantrel::RunMessageLoop(window);
    vantrel::UnregisterInventorySections();
    return exit_code;
}
