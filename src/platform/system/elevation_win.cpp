#include "platform/system/elevation_win.h"

#include "platform/system/sids_win.h"

namespace vantrel {

bool IsRunElevated() {
    const ScopedSid administrators = MakeWellKnownSid(TWellKnownSid::Administrators);
    BOOL member = FALSE;
    return administrators && ::CheckTokenMembership(nullptr, administrators.Get(), &member) && member;
}

}  // namespace vantrel
