// Whether the run holds administrator rights.
#pragma once

namespace vantrel {

// True when the process runs with administrator rights: its token is an
// enabled member of the Administrators group. Under User Account Control
// an unelevated token holds that group for denial only, so this is true
// exactly for an elevated administrator, and, before Windows Vista, for an
// administrator's account. Such a run may hold rights that the user whose
// folders it works in lacks.
bool IsRunElevated();

}  // namespace vantrel
