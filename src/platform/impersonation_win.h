// Acting with the rights of the user who is logged on. An elevated run
// writes into that user's folders (the archive on the desktop) as that user,
// so that links the user placed there cannot steer the write into places the
// user could not write.
#pragma once

#include "platform/handles_win.h"

namespace vantrel {

// While alive, the calling thread impersonates the shell ("explorer.exe")
// of the session user; Active() is false when no such shell or token can be
// had, and the thread then keeps its own rights. Reverts on destruction.
class TSessionUserImpersonation {
public:
    TSessionUserImpersonation();
    ~TSessionUserImpersonation();
    TSessionUserImpersonation(const TSessionUserImpersonation&) = delete;
    TSessionUserImpersonation& operator=(const TSessionUserImpersonation&) = delete;
    bool Active() const { return active_; }

private:
    bool active_ = false;
};

}  // namespace vantrel
