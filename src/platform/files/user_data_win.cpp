#include "platform/files/user_data_win.h"

#include "platform/base/file_io_win.h"
#include "platform/base/file_open_win.h"
#include "platform/base/text.h"
#include "platform/files/safe_paths.h"

namespace vantrel {

namespace {

// Held open without delete sharing, so the entry cannot be renamed or
// replaced while the folder is read.
ScopedFileHandle Pin(const std::wstring& path) {
    return OpenFileHandle(path, kInspect, kShareReadWrite, OPEN_EXISTING, kOpenEntryItself);
}

// True when the entry at `path` may be passed on the way to the user's
// data: it is no link, or a link the system or the administrators made.
bool AcceptableStep(const std::wstring& path, HANDLE pinned) {
    BY_HANDLE_FILE_INFORMATION info;
    const bool link = IsLinkPath(path) ||
                      (::GetFileInformationByHandle(pinned, &info) && IsLinkHandle(pinned, info.dwFileAttributes));
    return !link || IsOwnedBySystemOrAdministrators(pinned);
}

// The folders from the volume root down to `folder` (extended-length, no
// trailing backslash), the root itself left out.
std::vector<std::wstring> Steps(const std::wstring& folder) {
    std::vector<std::wstring> steps;
    const bool unc = StartsWith(folder, L"\\\\?\\UNC\\");
    // Skip the prefix and the drive ("\\?\C:") or the share ("\\?\UNC\s\share").
    std::size_t at = unc ? folder.find(L'\\', folder.find(L'\\', 8) + 1) : folder.find(L'\\', 4);
    while (at != std::wstring::npos) {
        const std::size_t next = folder.find(L'\\', at + 1);
        steps.push_back(folder.substr(0, next));
        at = next;
    }
    return steps;
}

}  // namespace

TUserDataFolder::TUserDataFolder(const std::wstring& path, const TUserRights& rights) : strict_(!rights.BoundByUser()) {
    if (path.empty()) return;
    const std::wstring folder = ExtendedLengthPath(FullPath(ExcludeTrailingBackslash(path)));
    const std::vector<std::wstring> steps = Steps(folder);
    if (steps.empty()) return;
    for (std::size_t i = strict_ ? 0 : steps.size() - 1; i < steps.size(); ++i) {
        ScopedFileHandle pinned = Pin(steps[i]);
        if (!pinned || !AcceptableStep(steps[i], pinned.Get())) return;
        pins_.push_back(std::move(pinned));
    }
    ScopedFileHandle opened = OpenFileHandle(folder, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, kOpenFolders);
    BY_HANDLE_FILE_INFORMATION info;
    if (!opened || !::GetFileInformationByHandle(opened.Get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || !LocationOf(opened.Get(), info, location_)) {
        return;
    }
    path_ = folder + L"\\";
    valid_ = true;
}

bool TUserDataFolder::FolderLiesBelow(const std::wstring& relative_folder) const {
    if (relative_folder.empty()) return true;
    auto found = folders_.find(relative_folder);
    if (found != folders_.end()) return found->second;
    ScopedFileHandle folder =
        OpenFileHandle(path_ + relative_folder, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, kOpenFolders);
    TFileLocation at;
    const bool below =
        folder && LocationOf(folder.Get(), at) && SameLocation(at, ChildLocation(location_, relative_folder));
    folders_[relative_folder] = below;
    return below;
}

TCheckedEntry TUserDataFolder::OpenFile(const std::wstring& relative, DWORD access) const {
    if (!valid_ || !IsPlainRelativePath(relative)) return TCheckedEntry();
    if (!FolderLiesBelow(ExcludeTrailingBackslash(ExtractFilePath(relative)))) return TCheckedEntry();
    TCheckedEntry entry;
    if (strict_) {
        entry = OpenCheckedEntry(path_ + relative, ChildLocation(location_, relative), access);
    } else {
        // With the user's rights the file's own location is not asked for
        // (an expensive question on some systems): the handle shows a link
        // on Windows, and anything else is bounded by the user's rights.
        entry.Handle = OpenNoFollow(path_ + relative, access | FILE_READ_ATTRIBUTES);
        if (entry.Handle && (!::GetFileInformationByHandle(entry.Handle.Get(), &entry.Info) ||
                             IsLinkHandle(entry.Handle.Get(), entry.Info.dwFileAttributes))) {
            entry.Handle.Reset();
        }
        if (entry.Handle) {
            entry.Handle = ContentHandle(std::move(entry.Handle), entry.Info, path_ + relative, access, kShareAll);
        }
    }
    if (!entry.Handle) return entry;
    const bool folder = (entry.Info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (folder || (strict_ && entry.Info.nNumberOfLinks > 1)) entry.Handle.Reset();
    return entry;
}

ScopedFileHandle TUserDataFolder::OpenForReading(const std::wstring& relative, const TCheckedEntry& checked) const {
    if (!valid_ || !checked.Handle || !IsPlainRelativePath(relative)) return ScopedFileHandle();
    ScopedFileHandle file = OpenNoFollow(path_ + relative, GENERIC_READ | FILE_READ_ATTRIBUTES);
    BY_HANDLE_FILE_INFORMATION info;
    if (file &&
        (!::GetFileInformationByHandle(file.Get(), &info) || !SameFile(FileIdOf(info), FileIdOf(checked.Info)))) {
        file.Reset();
        ::SetLastError(ERROR_FILE_NOT_FOUND);  // another file stands there now
    }
    if (file) file = ContentHandle(std::move(file), info, path_ + relative, GENERIC_READ, kShareAll);
    return file;
}

}  // namespace vantrel
