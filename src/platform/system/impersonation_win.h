// Acting with the rights of the user who is logged on. An elevated run
// writes into that user's folders (the archive on the desktop) and reads
// that user's product data as that user, so that links the user placed
// there cannot steer a write or a read into places the user could not
// reach. Whose rights a run has is decided once, when it starts
// (TRunRights).
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

// The rights of one run, decided once when it starts: its own, and the
// session user's where there is one.
struct TRunRights {
    // The run's own rights are an administrator's (IsRunElevated).
    bool Elevated = false;
    // The user's: the run's own when it is not elevated, else the session
    // user's shell's token, or none when no such token can be had.
    TUserRights User;
    // The run's account is the session user's (under User Account Control
    // the same account elevated, or a run without elevation); false when an
    // administrator's credentials were typed in for another user. The run's
    // own data (its application data) is the user's only then.
    bool SameAccount = true;

    // The rights of this process and its session's user.
    static TRunRights OfThisProcess();
};

// While alive, the calling thread acts with `rights` when they carry a
// token, and reverts on destruction.
class TActAsUser {
public:
    explicit TActAsUser(const TUserRights& rights);
    ~TActAsUser();
    TActAsUser(const TActAsUser&) = delete;
    TActAsUser& operator=(const TActAsUser&) = delete;

    // True when the thread's reads are now bounded by the user's rights:
    // the token was set, or the run's own rights are the user's.
    bool Active() const { return active_; }
    // The one answer every reader of the user's data asks: true when reading
    // may go on, that is with the user's rights as asked, or with the run's
    // own when no user's rights were asked for; false when the user's token
    // could not be set, and nothing may then be read.
    bool Ready() const { return ready_; }

private:
    bool impersonating_ = false;
    bool active_ = false;
    bool ready_ = false;
};

}  // namespace vantrel
