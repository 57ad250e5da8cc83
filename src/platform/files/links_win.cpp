#include "platform/files/links_win.h"

#include "platform/base/file_io_win.h"
#include "platform/base/file_open_win.h"
#include "platform/base/text.h"
#include "platform/base/text_win.h"
#include "platform/files/find_entries_win.h"
#include "platform/files/nt_files_win.h"
#include "platform/files/safe_paths.h"
#include "platform/system/sids_win.h"

#include <aclapi.h>
#include <winioctl.h>

#include <vector>

namespace vantrel {

namespace {

// The reparse data of the object behind `handle`: its tag, and for a mount
// point the substitute name. Tag 0 when it cannot be read.
std::uint32_t ReparseTagOf(HANDLE handle, std::wstring& mount_target) {
    std::vector<ULONG> data(16 * 1024 / sizeof(ULONG));  // MAXIMUM_REPARSE_DATA_BUFFER_SIZE
    DWORD got = 0;
    if (!::DeviceIoControl(handle, FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(),
                           static_cast<DWORD>(data.size()) * static_cast<DWORD>(sizeof(ULONG)), &got, nullptr) ||
        got < 8) {
        return 0;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    const std::uint32_t tag = data[0];
    if (tag == kReparseTagMountPoint && got >= 16) {
        // Tag, data length and reserved word, then substitute name offset
        // and length, print name offset and length, then the path buffer.
        const USHORT offset = *reinterpret_cast<const USHORT*>(bytes + 8);
        const USHORT length = *reinterpret_cast<const USHORT*>(bytes + 10);
        if (16u + offset + length <= got) {
            mount_target.assign(reinterpret_cast<const wchar_t*>(bytes + 16 + offset), length / sizeof(wchar_t));
        }
    }
    return tag;
}

}  // namespace

bool LocationOf(HANDLE handle, TFileLocation& location) {
    BY_HANDLE_FILE_INFORMATION info;
    return ::GetFileInformationByHandle(handle, &info) && LocationOf(handle, info, location);
}

bool LocationOf(HANDLE handle, const BY_HANDLE_FILE_INFORMATION& info, TFileLocation& location) {
    std::wstring path;
    if (!NativeFileName(handle, path)) return false;
    location.Volume = info.dwVolumeSerialNumber;
    location.Path = path.empty() ? L"\\" : path;
    return true;
}

TFileLocation ChildLocation(const TFileLocation& folder, const std::wstring& name) {
    TFileLocation child = folder;
    if (child.Path.empty() || child.Path.back() != L'\\') child.Path.push_back(L'\\');
    child.Path += name;
    return child;
}

namespace {

// A path as compared: upper case, and every name without its trailing dots
// and spaces, which some systems leave out of the name they report for an
// open file. A link leads into another folder, which this still tells.
std::wstring ComparedForm(const std::wstring& path) {
    std::wstring form;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) end = path.size();
        std::wstring name = path.substr(start, end - start);
        while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
        form += name;
        if (end < path.size()) form += L'\\';
        start = end + 1;
    }
    return UpperCaseText(form);
}

}  // namespace

bool SameLocation(const TFileLocation& a, const TFileLocation& b) {
    const bool volumes = a.Volume == b.Volume || a.Volume == 0 || b.Volume == 0;  // 0: not told (SameFile)
    return volumes && ComparedForm(a.Path) == ComparedForm(b.Path);
}

bool FileIdOf(HANDLE handle, TFileId& id) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(handle, &info)) return false;
    id = FileIdOf(info);
    return true;
}

TFileId FileIdOf(const BY_HANDLE_FILE_INFORMATION& info) {
    TFileId id;
    id.Volume = info.dwVolumeSerialNumber;
    id.High = info.nFileIndexHigh;
    id.Low = info.nFileIndexLow;
    return id;
}

bool SameFile(const TFileId& a, const TFileId& b) {
    // A serial number of 0 is one the system could not tell (Wine gives it
    // now and then for a drive letter mapped to a folder): then the index
    // decides alone.
    const bool volumes = a.Volume == b.Volume || a.Volume == 0 || b.Volume == 0;
    return volumes && a.High == b.High && a.Low == b.Low;
}

bool IsLinkHandle(HANDLE handle, DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
    std::wstring target;
    const std::uint32_t tag = ReparseTagOf(handle, target);
    return IsLinkReparseTag(tag, target);
}

bool IsLinkEntry(const WIN32_FIND_DATAW& entry, const std::wstring& path) {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
    const std::uint32_t tag = entry.dwReserved0;
    if (tag != kReparseTagMountPoint) return IsLinkReparseTag(tag, std::wstring());
    // A mount point is a link unless it mounts a volume's root: read its target.
    ScopedFileHandle handle = OpenNoFollow(path, FILE_READ_ATTRIBUTES);
    if (!handle) return true;
    std::wstring target;
    return IsLinkReparseTag(ReparseTagOf(handle.Get(), target), target);
}

bool IsLinkPath(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    return TFindEntries(ExcludeTrailingBackslash(path)).Next(data) && IsLinkEntry(data, ExcludeTrailingBackslash(path));
}

bool IsOwnedBySystemOrAdministrators(HANDLE handle) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    ScopedLocalMemory hold(descriptor);
    return owner != nullptr && IsSystemOrAdministratorsSid(owner);
}

ScopedFileHandle OpenNoFollow(const std::wstring& path, DWORD access) {
    return OpenFileHandle(path, access, kShareAll, OPEN_EXISTING, kOpenEntryItself);
}

ScopedFileHandle ContentHandle(ScopedFileHandle entry, const BY_HANDLE_FILE_INFORMATION& info, const std::wstring& path,
                               DWORD access, DWORD share) {
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 ||
        IsLinkHandle(entry.Get(), info.dwFileAttributes)) {
        return entry;
    }
    ScopedFileHandle content = OpenFileHandle(path, access | FILE_READ_ATTRIBUTES, share, OPEN_EXISTING, kOpenFolders);
    BY_HANDLE_FILE_INFORMATION again;
    if (!content || !::GetFileInformationByHandle(content.Get(), &again) ||
        !SameFile(FileIdOf(again), FileIdOf(info))) {
        return ScopedFileHandle();
    }
    return content;
}

TCheckedEntry OpenCheckedEntry(const std::wstring& path, const TFileLocation& expected, DWORD access) {
    TCheckedEntry entry;
    ScopedFileHandle handle = OpenNoFollow(path, access | FILE_READ_ATTRIBUTES);
    TFileLocation location;
    if (!handle || !::GetFileInformationByHandle(handle.Get(), &entry.Info) ||
        IsLinkHandle(handle.Get(), entry.Info.dwFileAttributes) || !LocationOf(handle.Get(), entry.Info, location) ||
        !SameLocation(location, expected)) {
        return entry;
    }
    entry.Handle = ContentHandle(std::move(handle), entry.Info, path, access, kShareAll);
    return entry;
}

bool DeleteThroughHandle(HANDLE handle, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY) NativeSetAttributes(handle, attributes & ~FILE_ATTRIBUTE_READONLY);
    return NativeDeleteOnClose(handle);
}

}  // namespace vantrel
