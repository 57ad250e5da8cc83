// Starting programs for the user from the tool, which usually runs elevated.
#pragma once

#include <string>

namespace vantrel {

// Asks the running desktop shell of the logged-on user to open `address`
// (IShellDispatch2::ShellExecute of the desktop's folder view), so that the
// browser starts with that user's rights, not the tool's. False when no
// desktop shell can be asked (none runs, another session's, or a system
// without it); nothing is started then.
bool OpenThroughUserShell(const std::wstring& address);

// The shared Windows folder's explorer.exe (GetSharedWindowsDir), by full
// path; empty when the system names no Windows folder. The tool is not marked
// aware of terminal servers, so on such a host the plain Windows folder
// would be the user's private one, where the user could plant an
// explorer.exe for the elevated tool to start.
std::wstring ExplorerPath();

}  // namespace vantrel
