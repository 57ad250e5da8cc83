#include "platform/private_folder_win.h"

#include "platform/directory_win.h"
#include "platform/errors.h"
#include "platform/file_io_win.h"
#include "platform/optional_api_win.h"
#include "platform/text.h"

namespace vantrel {

namespace {

const int kNameAttempts = 8;

ScopedSid MakeSid(BYTE count, DWORD first, DWORD second = 0) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    ScopedSid sid;
    if (!::AllocateAndInitializeSid(&nt, count, first, second, 0, 0, 0, 0, 0, 0, sid.Receive())) return ScopedSid();
    return sid;
}

}  // namespace

bool IsRunElevated() {
    ScopedSid administrators = MakeSid(2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
    BOOL member = FALSE;
    return administrators && ::CheckTokenMembership(nullptr, administrators.Get(), &member) && member;
}

namespace {

// RtlGenRandom (exported as SystemFunction036 since Windows XP) needs no
// provider; Windows 2000 has CryptGenRandom, whose provider is found
// through the registry.
bool FillRandom(std::string& random) {
    const auto gen_random = optional_api::SystemFunction036();
    if (gen_random != nullptr && gen_random(&random[0], static_cast<ULONG>(random.size()))) return true;
    ScopedCryptProvider provider;
    return ::CryptAcquireContextW(provider.Receive(), nullptr, nullptr, PROV_RSA_FULL,
                                  CRYPT_VERIFYCONTEXT | CRYPT_SILENT) &&
           ::CryptGenRandom(provider.Get(), static_cast<DWORD>(random.size()), reinterpret_cast<BYTE*>(&random[0]));
}

}  // namespace

std::wstring RandomHex(std::size_t bytes) {
    std::string random(bytes, '\0');
    if (bytes == 0 || !FillRandom(random)) throw EToolError("No random source");
    std::wstring hex;
    for (unsigned char c : random) hex += HexLower(c, 2);
    return hex;
}

TAdministratorsOnlySecurity::TAdministratorsOnlySecurity()
    : administrators_(MakeSid(2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS)),
      system_(MakeSid(1, SECURITY_LOCAL_SYSTEM_RID)) {
    if (!administrators_ || !system_) return;
    const auto ace_size = static_cast<DWORD>(sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD));
    const DWORD acl_size = static_cast<DWORD>(sizeof(ACL)) + 2 * ace_size + ::GetLengthSid(administrators_.Get()) +
                           ::GetLengthSid(system_.Get());
    acl_.reset(new unsigned char[acl_size]);
    auto* acl = reinterpret_cast<ACL*>(acl_.get());
    const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    ready_ = ::InitializeAcl(acl, acl_size, ACL_REVISION) &&
             ::AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, administrators_.Get()) &&
             ::AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, system_.Get()) &&
             ::InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
             ::SetSecurityDescriptorOwner(&descriptor_, administrators_.Get(), FALSE) &&
             ::SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
             ::SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = FALSE;
}

SECURITY_ATTRIBUTES* TAdministratorsOnlySecurity::Attributes() { return ready_ ? &attributes_ : nullptr; }

TPrivateFolder::TPrivateFolder(const std::wstring& parent, const std::wstring& prefix, bool administrators_only) {
    if (parent.empty()) throw EToolError("No folder for the working area");
    TAdministratorsOnlySecurity security;
    SECURITY_ATTRIBUTES* attributes = nullptr;
    if (administrators_only) {
        attributes = security.Attributes();
        if (attributes == nullptr) throw EToolError("No security for the working area");
    }
    const std::wstring base = IncludeTrailingBackslash(parent) + prefix;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::wstring folder = base + RandomHex(16);
        if (!::CreateDirectoryW(folder.c_str(), attributes)) {
            if (::GetLastError() == ERROR_ALREADY_EXISTS) continue;
            throw EToolError("Cannot create the working area", ::GetLastError());
        }
        // Made just now under a name nobody knew: it is ours. Its identity
        // is what the clean-up checks before it removes anything.
        ScopedFileHandle handle = OpenNoFollow(folder, FILE_READ_ATTRIBUTES);
        BY_HANDLE_FILE_INFORMATION info;
        if (!handle || !::GetFileInformationByHandle(handle.Get(), &info) ||
            (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || IsLinkPath(folder)) {
            throw EToolError("The working area is not a plain folder");
        }
        id_ = FileIdOf(info);
        path_ = folder + L"\\";
        return;
    }
    throw EToolError("No free name for the working area");
}

TPrivateFolder::~TPrivateFolder() { Remove(); }

bool TPrivateFolder::Remove() {
    if (!removed_) removed_ = DeleteDirTree(path_, id_);
    return removed_;
}

}  // namespace vantrel
