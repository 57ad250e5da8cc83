// Program entry: the command line, start-up of the modules, then the main
// window and its message loop. Without arguments the window opens; the
// arguments of a run without a window are in app/command_line.h.
#include "app/command_line.h"
#include "app/main_window_win.h"
#include "app/quiet_run_win.h"
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
    const vantrel::TCommandLine command = vantrel::ParseCommandLine(vantrel::CommandLineArguments());
    if (command.Kind == vantrel::TCommandKind::Usage || command.Kind == vantrel::TCommandKind::Invalid) {
        return vantrel::ShowUsage(command);
    }

    vantrel::CreateLogManager();
    vantrel::CreateSystemInfoList();
    // Regional settings are read once, at start-up.
    vantrel::UserLocale();
    // The crash reporter's sections of the process and module inventory.
    vantrel::RegisterInventorySections();
    vantrel::InitIdentity();
    vantrel::CreateReportAppFrame();

    int exit_code = 0;
    if (command.Kind == vantrel::TCommandKind::Quiet) {
        exit_code = vantrel::RunQuiet(command);
    } else {
        HWND window = vantrel::CreateMainWindow(instance, show_command);
        exit_code = window == nullptr ? 1 : vantrel::RunMessageLoop(window);
    }
    vantrel::UnregisterInventorySections();
    return exit_code;
}
