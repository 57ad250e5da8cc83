#include "platform/system/impersonation_win.h"

#include "platform/base/contain_win.h"
#include "platform/system/elevation_win.h"
#include "platform/system/identity_win.h"

namespace vantrel {

namespace {

// An impersonation token of the session user's shell, or none.
ScopedKernelHandle SessionUserToken() {
    const std::wstring user = GetSessionUserName();
    if (user.empty()) return ScopedKernelHandle();
    const DWORD pid = FindExplorerProcess(user);
    if (pid == 0) return ScopedKernelHandle();
    ScopedKernelHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
    ScopedKernelHandle token;
    if (!process || !::OpenProcessToken(process.Get(), TOKEN_DUPLICATE | TOKEN_QUERY, token.Receive())) {
        return ScopedKernelHandle();
    }
    ScopedKernelHandle impersonation;
    if (!::DuplicateTokenEx(token.Get(), TOKEN_IMPERSONATE | TOKEN_QUERY, nullptr, SecurityImpersonation,
                            TokenImpersonation, impersonation.Receive())) {
        return ScopedKernelHandle();
    }
    return impersonation;
}

}  // namespace

TUserRights TUserRights::OwnAreTheUsers() {
    TUserRights rights;
    rights.own_are_users_ = true;
    return rights;
}

TUserRights TUserRights::OfSessionUser() { return FromToken(SessionUserToken()); }

TUserRights TUserRights::FromToken(ScopedKernelHandle token) {
    TUserRights rights;
    rights.token_ = std::move(token);
    return rights;
}

TRunRights TRunRights::OfThisProcess() {
    TRunRights rights;
    rights.Elevated = IsRunElevated();
    rights.User = rights.Elevated ? TUserRights::OfSessionUser() : TUserRights::OwnAreTheUsers();
    return rights;
}

TActAsUser::TActAsUser(const TUserRights& rights) {
    if (rights.Token() != nullptr) {
        impersonating_ = ::SetThreadToken(nullptr, rights.Token()) != FALSE;
        if (!impersonating_) RecordFailure(L"acting as the session user", L"Cannot act as the user", ::GetLastError());
        active_ = impersonating_;
        ready_ = impersonating_;
    } else {
        active_ = rights.BoundByUser();
        ready_ = true;
    }
}

TActAsUser::~TActAsUser() {
    if (impersonating_) ::RevertToSelf();
}

}  // namespace vantrel
