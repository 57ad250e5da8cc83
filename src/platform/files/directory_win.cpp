#include "platform/files/directory_win.h"

#include "platform/base/file_io_win.h"
#include "platform/base/file_open_win.h"
#include "platform/base/handles_win.h"
#include "platform/files/find_entries_win.h"
#include "platform/files/safe_paths.h"

namespace vantrel {

namespace {

// The listing of `folder` (with a trailing backslash), "." and ".." included.
std::vector<WIN32_FIND_DATAW> ListEntries(const std::wstring& folder) { return FindEntries(folder + L"*"); }

bool IsDotEntry(const WIN32_FIND_DATAW& entry) {
    return std::wstring(entry.cFileName) == L"." || std::wstring(entry.cFileName) == L"..";
}

bool SameObject(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return SameFile(FileIdOf(a), FileIdOf(b));
}

// Deletes the folder at `path` once it is empty, through a handle that is
// the same folder as the one checked (`checked`). A folder is listed and
// emptied without such a handle open: the system may refuse a listing
// while a handle with delete access is open.
void DeleteCheckedFolder(const std::wstring& path, const BY_HANDLE_FILE_INFORMATION& checked) {
    ScopedFileHandle handle = OpenNoFollow(path, kRemove);
    BY_HANDLE_FILE_INFORMATION info;
    if (handle && ::GetFileInformationByHandle(handle.Get(), &info) && SameObject(info, checked) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        DeleteThroughHandle(handle.Get(), info.dwFileAttributes);
    }
}

// Removes everything in the folder `folder` (extended-length, with a
// trailing backslash), which lies at `location`.
void EmptyFolder(const std::wstring& folder, const TFileLocation& location) {
    for (const WIN32_FIND_DATAW& entry : ListEntries(folder)) {
        if (IsDotEntry(entry)) continue;
        const std::wstring path = folder + entry.cFileName;
        const bool is_folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        // A folder is checked through a handle without delete access, so
        // that it can be listed while the handle is open.
        ScopedFileHandle handle = OpenNoFollow(path, is_folder ? FILE_READ_ATTRIBUTES : kRemove);
        BY_HANDLE_FILE_INFORMATION info;
        if (!handle || !::GetFileInformationByHandle(handle.Get(), &info)) continue;
        if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            // The handle is the reparse point's own: deleting it removes the
            // link, never what it points to.
            handle.Reset();
            ScopedFileHandle link = OpenNoFollow(path, kRemove);
            BY_HANDLE_FILE_INFORMATION again;
            if (link && ::GetFileInformationByHandle(link.Get(), &again) && SameObject(again, info) &&
                (again.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                DeleteThroughHandle(link.Get(), again.dwFileAttributes);
            }
            continue;
        }
        // Listed as a link but opened as something else, or lying somewhere
        // other than in this folder: the system followed a link it does not
        // show as one. Neither it nor what it points to is touched.
        TFileLocation at;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || !LocationOf(handle.Get(), info, at) ||
            !SameLocation(at, ChildLocation(location, entry.cFileName))) {
            continue;
        }
        if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            EmptyFolder(path + L"\\", at);
            handle.Reset();
            DeleteCheckedFolder(path, info);
        } else {
            DeleteThroughHandle(handle.Get(), info.dwFileAttributes);
        }
    }
}

bool RemoveTree(const std::wstring& path, const TFileId* expected) {
    const std::wstring folder = ExtendedLengthPath(FullPath(ExcludeTrailingBackslash(path)));
    const bool listed_as_link = IsLinkPath(folder);
    ScopedFileHandle handle = OpenNoFollow(folder, FILE_READ_ATTRIBUTES);
    BY_HANDLE_FILE_INFORMATION info;
    if (!handle || !::GetFileInformationByHandle(handle.Get(), &info)) return false;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // The folder itself was replaced by a link: the link goes, nothing else.
        handle.Reset();
        ScopedFileHandle link = OpenNoFollow(folder, kRemove);
        BY_HANDLE_FILE_INFORMATION again;
        if (link && ::GetFileInformationByHandle(link.Get(), &again) && SameObject(again, info)) {
            DeleteThroughHandle(link.Get(), again.dwFileAttributes);
        }
        return false;
    }
    TFileLocation location;
    if (listed_as_link || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        !LocationOf(handle.Get(), info, location) || (expected != nullptr && !SameFile(FileIdOf(info), *expected))) {
        return false;
    }
    EmptyFolder(folder + L"\\", location);
    handle.Reset();
    DeleteCheckedFolder(folder, info);
    return FileAttributes(folder) == INVALID_FILE_ATTRIBUTES;
}

}  // namespace

std::vector<TDirEntry> ListDirectory(const std::wstring& folder) {
    std::vector<TDirEntry> entries;
    for (const WIN32_FIND_DATAW& data : ListEntries(folder)) {
        TDirEntry entry;
        entry.Name = data.cFileName;
        entry.IsFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.IsLink = !IsDotEntry(data) && IsLinkEntry(data, folder + entry.Name);
        entries.push_back(std::move(entry));
    }
    return entries;
}

void ListFilesRecursive(const std::wstring& folder, TStringList& list) { WalkFiles(folder, list, ListDirectory); }

bool DeleteDirTree(const std::wstring& path) { return RemoveTree(path, nullptr); }

bool DeleteDirTree(const std::wstring& path, const TFileId& expected) { return RemoveTree(path, &expected); }

}  // namespace vantrel
