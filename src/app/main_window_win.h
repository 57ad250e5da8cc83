// The main window: explanation, privacy link, the button and the progress
// bar; starts the report job and handles WM_GENINFO.
#pragma once

#include "platform/base/win.h"

#include <string>

namespace vantrel {

// Roles of the application's cursor set, replaced by the system cursors
// when the window is created.
enum TCursorRole {
    crDefault,
    crArrow,
    crCross,
    crIBeam,
    crSizeNESW,
    crSizeNS,
    crSizeNWSE,
    crSizeWE,
    crSizeAll,
    crUpArrow,
    crHourGlass,
    crNo,
    crAppStart,
    crHelp,
    crHandPoint,
    crCount
};

// Loads each system cursor into its slot; a slot whose load fails keeps its
// previous cursor.
void SetupSystemCursors();
HCURSOR CursorSlot(TCursorRole role);

// Asks the shell to open `address`; on failure tries "IExplore.EXE" with the
// address as parameter. Nothing is shown either way.
void OpenLink(const std::wstring& address);

// The address of the maker's privacy page.
extern const wchar_t kPrivacyPolicyAddress[];

// Registers the window class and creates Form_OrbeloInfo, centred and shown;
// null on failure.
HWND CreateMainWindow(HINSTANCE instance, int show_command);

// Runs the message loop until the window is closed; returns the exit code.
int RunMessageLoop(HWND window);

}  // namespace vantrel
