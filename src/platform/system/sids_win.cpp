#include "platform/system/sids_win.h"

namespace vantrel {

namespace {

struct TSidRow {
    BYTE Count;
    DWORD Authorities[6];
};

// In the order of TWellKnownSid.
const TSidRow kSids[] = {
    {1, {SECURITY_LOCAL_SYSTEM_RID}},
    {2, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}},
    // NT SERVICE\TrustedInstaller
    {6, {SECURITY_SERVICE_ID_BASE_RID, 956008885u, 3418522649u, 1831038044u, 1853292631u, 2271478464u}},
};

}  // namespace

ScopedSid MakeWellKnownSid(TWellKnownSid kind) {
    const TSidRow& row = kSids[static_cast<int>(kind)];
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    const DWORD* a = row.Authorities;
    ScopedSid sid;
    if (!::AllocateAndInitializeSid(&nt, row.Count, a[0], a[1], a[2], a[3], a[4], a[5], 0, 0, sid.Receive())) {
        return ScopedSid();
    }
    return sid;
}

bool IsWellKnownSid(PSID sid, TWellKnownSid kind) {
    const ScopedSid wanted = MakeWellKnownSid(kind);
    return sid != nullptr && wanted && ::EqualSid(sid, wanted.Get()) != FALSE;
}

bool IsSystemOrAdministratorsSid(PSID sid) {
    return IsWellKnownSid(sid, TWellKnownSid::LocalSystem) || IsWellKnownSid(sid, TWellKnownSid::Administrators) ||
           IsWellKnownSid(sid, TWellKnownSid::TrustedInstaller);
}

}  // namespace vantrel
