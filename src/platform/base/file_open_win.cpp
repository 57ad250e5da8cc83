#include "platform/base/file_open_win.h"

namespace vantrel {

namespace access_detail {

// Set by tests before the operations they look at; the product leaves it
// null.
TAccessPolicy* g_policy = nullptr;

bool AskPolicy(const TAccessRequest& request) {
    if (g_policy->Permits(request)) return true;
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
}

}  // namespace access_detail

void SetAccessPolicy(TAccessPolicy* policy) { access_detail::g_policy = policy; }

namespace {

bool Creates(DWORD disposition) { return disposition == CREATE_NEW || disposition == CREATE_ALWAYS; }

}  // namespace

ScopedFileHandle OpenFileHandle(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                                DWORD flags_and_attributes) {
    const bool follows = (flags_and_attributes & FILE_FLAG_OPEN_REPARSE_POINT) == 0;
    if (!AccessPermitted(Creates(disposition) ? TAccessKind::Create : TAccessKind::Open, path, nullptr, access,
                         follows)) {
        return ScopedFileHandle();
    }
    return ScopedFileHandle(
        ::CreateFileW(path.c_str(), access, share, nullptr, disposition, flags_and_attributes, nullptr));
}

bool CreateFolder(const std::wstring& path, SECURITY_ATTRIBUTES* security) {
    return AccessPermitted(TAccessKind::CreateFolder, path) && ::CreateDirectoryW(path.c_str(), security) != FALSE;
}

bool DeleteFileByName(const std::wstring& path) {
    return AccessPermitted(TAccessKind::Delete, path, nullptr, DELETE, false) && ::DeleteFileW(path.c_str()) != FALSE;
}

bool CopyFileByName(const std::wstring& source, const std::wstring& target, bool fail_if_exists) {
    return AccessPermitted(TAccessKind::Open, source, nullptr, GENERIC_READ) &&
           AccessPermitted(TAccessKind::Create, target) &&
           ::CopyFileW(source.c_str(), target.c_str(), fail_if_exists ? TRUE : FALSE) != FALSE;
}

DWORD FileAttributes(const std::wstring& path) {
    if (!AccessPermitted(TAccessKind::Attributes, path)) return INVALID_FILE_ATTRIBUTES;
    return ::GetFileAttributesW(path.c_str());
}

bool FileAttributeData(const std::wstring& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    return AccessPermitted(TAccessKind::Attributes, path) &&
           ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) != FALSE;
}

}  // namespace vantrel
