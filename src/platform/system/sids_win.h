// The well-known security identifiers the tool builds and compares: the
// local system, the administrators, and the installer service that owns
// the system's own files.
#pragma once

#include "platform/base/handles_win.h"

namespace vantrel {

enum class TWellKnownSid { LocalSystem, Administrators, TrustedInstaller };

// A new SID of `kind`; invalid when it cannot be built.
ScopedSid MakeWellKnownSid(TWellKnownSid kind);

// True when `sid` is `kind`.
bool IsWellKnownSid(PSID sid, TWellKnownSid kind);

// True when `sid` is one of the accounts an unelevated user can neither be
// nor act as: the local system, the administrators or the installer
// service.
bool IsSystemOrAdministratorsSid(PSID sid);

}  // namespace vantrel
