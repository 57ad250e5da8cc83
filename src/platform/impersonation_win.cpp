#include "platform/impersonation_win.h"

#include "platform/identity_win.h"

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

TSessionUserImpersonation::TSessionUserImpersonation() {
    ScopedKernelHandle token = SessionUserToken();
    active_ = token && ::SetThreadToken(nullptr, token.Get()) != FALSE;
}

TSessionUserImpersonation::~TSessionUserImpersonation() {
    if (active_) ::RevertToSelf();
}

}  // namespace vantrel
