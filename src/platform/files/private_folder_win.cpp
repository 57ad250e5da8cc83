#include "platform/files/private_folder_win.h"

#include "platform/base/contain_win.h"
#include "platform/base/errors.h"
#include "platform/base/file_io_win.h"
#include "platform/base/file_open_win.h"
#include "platform/base/text.h"
#include "platform/files/directory_win.h"
#include "platform/system/random_win.h"
#include "platform/system/sids_win.h"

namespace vantrel {

namespace {

const int kNameAttempts = 8;

}  // namespace

TAdministratorsOnlySecurity::TAdministratorsOnlySecurity()
    : administrators_(MakeWellKnownSid(TWellKnownSid::Administrators)),
      system_(MakeWellKnownSid(TWellKnownSid::LocalSystem)) {
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
        if (!CreateFolder(folder, attributes)) {
            if (::GetLastError() == ERROR_ALREADY_EXISTS) continue;
            throw EToolError("Cannot create the working area", ::GetLastError());
        }
        // Made just now under a name nobody knew: it is ours. Its identity
        // is what the clean-up checks before it removes anything.
        ScopedFileHandle handle = OpenNoFollow(folder, FILE_READ_ATTRIBUTES);
        BY_HANDLE_FILE_INFORMATION info;
        if (!handle || !::GetFileInformationByHandle(handle.Get(), &info) ||
            (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || IsLinkPath(folder)) {
            const DWORD error = handle ? 0 : ::GetLastError();
            // What this object made goes again (a link put in its place
            // goes itself, never what it points to).
            handle.Reset();
            DeleteDirTree(folder);
            throw EToolError("The working area is not a plain folder", error);
        }
        id_ = FileIdOf(info);
        path_ = folder + L"\\";
        return;
    }
    throw EToolError("No free name for the working area");
}

TPrivateFolder::~TPrivateFolder() {
    // Out of memory on the way: the folder stays rather than the process
    // ending.
    ContainFailure(L"working area removal", [this] { Remove(); });
}

bool TPrivateFolder::Remove() {
    if (!removed_) removed_ = DeleteDirTree(path_, id_);
    return removed_;
}

}  // namespace vantrel
