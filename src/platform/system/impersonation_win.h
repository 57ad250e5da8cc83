// Acting with the rights of the user who is logged on. An elevated run
// writes into that user's folders (the archive on the desktop) and reads
// that user's product data as that user, so that links the user placed
// there cannot steer a write or a read into places the user could not
// reach.
#pragma once

#include "platform/base/handles_win.h"

namespace vantrel {

// Whose rights reading the user's data is bounded by.
class TUserRights {
public:
    // The run's own rights are the user's (the run is not elevated).
    static TUserRights OwnAreTheUsers();
    // The rights of the session user's shell ("explorer.exe"); none when
    // no such shell or token can be had.
    static TUserRights OfSessionUser();
    // An impersonation token to act with (tests pass their own).
    static TUserRights FromToken(ScopedKernelHandle token);
    // No user's rights to be had: the run reads with its own, elevated ones.
    TUserRights() = default;

    // True when reads are bounded by the user's rights: the run's own
    // rights are the user's, or there is a token to act with.
    bool BoundByUser() const { return own_are_users_ || token_.Valid(); }
    HANDLE Token() const { return token_.Get(); }

private:
    bool own_are_users_ = false;
    ScopedKernelHandle token_;
};

// While alive, the calling thread acts with `rights` when they carry a
// token. Active() is true when the thread's reads are now bounded by the
// user's rights: the token was set, or the run's own rights are the user's.
// Reverts on destruction.
class TActAsUser {
public:
    explicit TActAsUser(const TUserRights& rights);
    ~TActAsUser();
    TActAsUser(const TActAsUser&) = delete;
    TActAsUser& operator=(const TActAsUser&) = delete;
    bool Active() const { return active_; }

private:
    bool impersonating_ = false;
    bool active_ = false;
};

// While alive, the calling thread impersonates the shell ("explorer.exe")
// of the session user; Active() is false when no such shell or token can be
// had, and the thread then keeps its own rights. Reverts on destruction.
class TSessionUserImpersonation {
public:
    TSessionUserImpersonation();
    TSessionUserImpersonation(const TSessionUserImpersonation&) = delete;
    TSessionUserImpersonation& operator=(const TSessionUserImpersonation&) = delete;
    bool Active() const { return scope_.Active(); }

private:
    TUserRights rights_;
    TActAsUser scope_;
};

}  // namespace vantrel
