#include "platform/system/impersonation_win.h"

#include "platform/base/contain_win.h"
#include "platform/system/elevation_win.h"
#include "platform/system/identity_win.h"

#include <vector>

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

// The account SID a token is of; empty when it cannot be read.
std::vector<unsigned char> AccountOf(HANDLE token) {
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size == 0 || !::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    const auto* bytes = static_cast<const unsigned char*>(sid);
    return std::vector<unsigned char>(bytes, bytes + ::GetLengthSid(sid));
}

// True when `token` is of the account this process runs as.
bool OfThisAccount(HANDLE token) {
    HANDLE own = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &own)) return false;
    const ScopedKernelHandle hold(own);
    const std::vector<unsigned char> mine = AccountOf(own);
    return !mine.empty() && mine == AccountOf(token);
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
    // An elevated run under another account than the user's (an
    // administrator's credentials typed in for a standard user) owns its
    // application data itself.
    rights.SameAccount = !rights.User.Token() || OfThisAccount(rights.User.Token());
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
