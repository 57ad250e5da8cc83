// The one home of the tool's operations on files and folders by name:
// every CreateFileW of the tool goes through OpenFileHandle, with the flag
// sets named here, and every other operation by name (creating a folder,
// listing one, deleting, copying, reading attributes or a version) asks
// AccessPermitted first. A test build can install an access policy there,
// a model of the access checks Windows makes with its default rights, which
// Wine does not make (docs/trust_model.md); the product installs none, and
// then nothing is asked.
#pragma once

#include "platform/base/handles_win.h"

#include <string>

namespace vantrel {

// Sharing: what others may do with the object while the handle is open.
constexpr DWORD kShareNone = 0;
constexpr DWORD kShareRead = FILE_SHARE_READ;
constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Flags.
// A link (or other reparse point) at the last name is opened itself, never
// what it points to.
constexpr DWORD kOpenLinkItself = FILE_FLAG_OPEN_REPARSE_POINT;
// Folders open too.
constexpr DWORD kOpenFolders = FILE_FLAG_BACKUP_SEMANTICS;
// The entry at the name, folder or file, never followed.
constexpr DWORD kOpenEntryItself = kOpenLinkItself | kOpenFolders;
// Read once from start to end.
constexpr DWORD kSequential = FILE_FLAG_SEQUENTIAL_SCAN;

// Access.
// What checks of an entry need: its attributes, identity and owner.
constexpr DWORD kInspect = FILE_READ_ATTRIBUTES | READ_CONTROL;
// A folder that files are created in and renamed into, by handle.
constexpr DWORD kCreateInFolder = FILE_ADD_FILE | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// An entry removed through its handle.
constexpr DWORD kRemove = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

// What an operation by name asks of the object it names.
enum class TAccessKind {
    Open,          // open with Access (OpenFileHandle, a file's version resource)
    Create,        // create a file, or rename one to the name
    CreateFolder,  // create a folder
    List,          // list the entries of the folder Path names (a search pattern's folder)
    Attributes,    // read the attributes of the object
    Delete,        // delete the object
};

struct TAccessRequest {
    TAccessKind Kind;
    // The object: a full path (plain or extended-length), or with Folder a
    // name inside that open folder.
    const std::wstring& Path;
    HANDLE Folder;
    DWORD Access;      // what an open asks for (Open); 0 otherwise
    bool FollowsLink;  // a link at the last name would be followed
};

// Decides whether Windows would grant a request, from the rights in force
// (the thread's impersonation, or the process's own) and the object's place.
class TAccessPolicy {
public:
    virtual ~TAccessPolicy() = default;
    virtual bool Permits(const TAccessRequest& request) = 0;
};

// Installs `policy` for every later operation; null removes it. Tests only.
void SetAccessPolicy(TAccessPolicy* policy);

namespace access_detail {
extern TAccessPolicy* g_policy;
bool AskPolicy(const TAccessRequest& request);
}  // namespace access_detail

// True when the operation may go on: always without a policy; with one,
// what it decides, a refusal leaving ERROR_ACCESS_DENIED as the last error.
inline bool AccessPermitted(TAccessKind kind, const std::wstring& path, HANDLE folder = nullptr, DWORD access = 0,
                            bool follows_link = true) {
    if (access_detail::g_policy == nullptr) return true;
    return access_detail::AskPolicy(TAccessRequest{kind, path, folder, access, follows_link});
}

// CreateFileW of `path` with `access`, `share`, `disposition` and
// `flags_and_attributes`, no security attributes and no template; invalid
// when the open fails (the last error tells why).
ScopedFileHandle OpenFileHandle(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                                DWORD flags_and_attributes);

// CreateDirectoryW of `path` with `security` (null: the inherited one).
bool CreateFolder(const std::wstring& path, SECURITY_ATTRIBUTES* security = nullptr);
// DeleteFileW of `path`.
bool DeleteFileByName(const std::wstring& path);
// CopyFileW of `source` to `target`, replacing an existing target unless
// `fail_if_exists`.
bool CopyFileByName(const std::wstring& source, const std::wstring& target, bool fail_if_exists);
// GetFileAttributesW of `path`; INVALID_FILE_ATTRIBUTES when it fails.
DWORD FileAttributes(const std::wstring& path);
// GetFileAttributesExW of `path` at the standard level; false when it fails.
bool FileAttributeData(const std::wstring& path, WIN32_FILE_ATTRIBUTE_DATA& data);

}  // namespace vantrel
