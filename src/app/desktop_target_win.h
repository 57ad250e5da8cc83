// Where a run saves "Vantrel_Debug_Info.zip" on the logged-on user's
// desktop: the window's rule, and a run without a window's.
#pragma once

#include "platform/system/impersonation_win.h"

#include <string>

namespace vantrel {

// The window's target: the desktop of the account the tool runs under,
// mapped onto the session user's (MapDesktopToSessionUser), else the
// program's own folder, + "\Vantrel_Debug_Info.zip", as a full path.
std::wstring ComputeTargetFile();

// A run without a window's target on the desktop: the desktop folder of the
// user whose token `user` carries, as the shell gives it for that user (so
// that a run as SYSTEM, whose own desktop maps onto nobody's, still finds
// the logged-on user's), + "\Vantrel_Debug_Info.zip"; the window's target
// when `user` carries no token or the shell gives no folder for it.
std::wstring UserDesktopTargetFile(const TUserRights& user);

}  // namespace vantrel
