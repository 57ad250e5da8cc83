// Well-known folders.
#pragma once

#include "platform/win.h"

#include <string>

namespace vantrel {

// The shell's special folder for `csidl` (never created); empty text when
// the shell has none.
std::wstring GetSpecialFolder(HWND owner, int csidl);
// The temporary folder with its trailing backslash, as GetTempPathW gives it;
// empty text when the call fails.
std::wstring GetTempDir();
// The Windows system folder without trailing backslash; empty on failure.
std::wstring GetSystemDir();

}  // namespace vantrel
