// Session and account identity: who is logged on to the active session,
// which account owns a process, a token of a named process and a token's
// integrity level. Every lookup reports failure by empty text or 0; none
// throws. Process and session identifiers use 0 for none.
#pragma once

#include "platform/base/win.h"

#include <string>

namespace vantrel {

// Start-up: records whether the system is Windows 2000 and, unless it is,
// looks up WTSGetActiveConsoleSessionId in Kernel32.dll (kept loaded). The
// start-up code calls it before the main window exists; the lookups below
// make the same values on first use if it has not run.
void InitIdentity();
// True on Windows 2000 (version 5.0).
bool IsWindows2000();

// The user name of the interactive session, without domain: the active
// session's user unless it is "system", else the owner of the first
// "explorer.exe"; empty when neither is found. Windows 2000 skips the
// session interface.
std::wstring GetSessionUserName();

// The computer's NetBIOS name (GetComputerNameW), up to its first NUL;
// false, and `name` untouched, when the system gives none.
bool ReadComputerNameText(std::wstring& name);

// The user name, without domain, of the account in the token of process
// `process_id`; empty when the process or its token cannot be read.
std::wstring GetProcessUserName(DWORD process_id);

// A new primary token duplicated from the first running process named
// `file_name` (owned by `user_name` unless that is empty); 0 when there is
// none or duplication fails. The caller closes the handle.
HANDLE GetTokenByName(const std::wstring& file_name, const std::wstring& user_name);

// The relative identifier of the token's mandatory integrity label (0x1000
// low, 0x2000 medium, 0x3000 high, 0x4000 system); 0 for token 0, on systems
// without integrity levels and on any failure.
DWORD GetTokenIntegrityLevel(HANDLE token);

// The physical console's session, else the session of the first active
// "explorer.exe"; 0 when neither is found.
DWORD GetActiveSessionId();

// The session of the first "explorer.exe" whose session is active; 0 when
// none.
DWORD FindActiveExplorerSession();

// The first process in snapshot order named `file_name` (letter case
// ignored) and, unless `user_name` is empty, owned by that user; 0 when
// none. Processes whose owner cannot be read never match a user.
DWORD FindProcessByName(const std::wstring& file_name, const std::wstring& user_name);

// FindProcessByName for "explorer.exe".
DWORD FindExplorerProcess(const std::wstring& user_name);

}  // namespace vantrel
