#include "platform/files/replace_win.h"

#include "platform/base/file_io_win.h"
#include "platform/base/file_open_win.h"
#include "platform/base/text.h"
#include "platform/files/links_win.h"
#include "platform/files/nt_files_win.h"
#include "platform/files/safe_paths.h"
#include "platform/system/random_win.h"

namespace vantrel {

namespace {

// `handle` when it is an open folder, else invalid.
ScopedFileHandle FolderOnly(ScopedFileHandle handle) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!handle || !::GetFileInformationByHandle(handle.Get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return ScopedFileHandle();
    }
    return handle;
}

}  // namespace

ScopedFileHandle OpenFolderToWriteIn(const std::wstring& folder, bool refuse_user_links) {
    const std::wstring path = ExtendedLengthPath(FolderPathToOpen(FullPath(folder)));
    if (!refuse_user_links) {
        return FolderOnly(OpenFileHandle(path, kCreateInFolder, kShareReadWrite, OPEN_EXISTING, kOpenFolders));
    }
    // The entry itself: when it is no link, this handle is the folder.
    ScopedFileHandle entry =
        OpenFileHandle(path, kCreateInFolder | READ_CONTROL, kShareReadWrite, OPEN_EXISTING, kOpenEntryItself);
    BY_HANDLE_FILE_INFORMATION info;
    if (!entry || !::GetFileInformationByHandle(entry.Get(), &info)) return ScopedFileHandle();
    if (!IsLinkPath(path) && !IsLinkHandle(entry.Get(), info.dwFileAttributes)) return FolderOnly(std::move(entry));
    // A link: followed only when the system or an administrator made it.
    if (!IsOwnedBySystemOrAdministrators(entry.Get())) return ScopedFileHandle();
    return FolderOnly(OpenFileHandle(path, kCreateInFolder, kShareReadWrite, OPEN_EXISTING, kOpenFolders));
}

TReplacement::TReplacement(HANDLE folder, const std::wstring& name, DWORD attributes)
    : folder_(folder), name_(name), attributes_(attributes) {
    const std::wstring part = ChangeFileExt(name, L"") + L"." + RandomHex(8) + L".part";
    file_ = NativeCreateNewFileIn(folder, part, attributes);
    if (!file_) error_ = ::GetLastError();
}

TReplacement::~TReplacement() {
    // The new file is this object's own: opened when it was created.
    if (file_ && !committed_) DeleteThroughHandle(file_.Get(), attributes_);
}

bool TReplacement::Commit() {
    if (!file_ || committed_) return committed_;
    committed_ = NativeRenameInto(file_.Get(), folder_, name_, true);
    if (!committed_) {
        error_ = ::GetLastError();
        return false;
    }
    // Closing writes out what the system still held: a failure there is a
    // failed write.
    if (!::CloseHandle(file_.Release())) {
        error_ = ::GetLastError();
        return false;
    }
    return true;
}

bool TReplacement::CommitAsNew(const std::wstring& name) {
    if (!file_ || committed_) return false;
    if (!NativeRenameInto(file_.Get(), folder_, name, false)) {
        error_ = ::GetLastError();
        // A file server may say so in the older words.
        if (error_ == ERROR_FILE_EXISTS) error_ = ERROR_ALREADY_EXISTS;
        return false;
    }
    committed_ = true;
    if (!::CloseHandle(file_.Release())) {
        error_ = ::GetLastError();
        return false;
    }
    return true;
}

}  // namespace vantrel
