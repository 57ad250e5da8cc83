#include "job/out_folder_win.h"

#include "job/out_archive_name.h"
#include "platform/base/errors.h"
#include "platform/base/file_io_win.h"
#include "platform/base/file_open_win.h"
#include "platform/base/text.h"

namespace vantrel {

TOutFolderTarget::TOutFolderTarget(const std::wstring& folder, const std::wstring& base_name)
    : folder_(IncludeTrailingBackslash(FullPath(folder))), base_name_(base_name) {
    folder_handle_ = OpenFolderToWriteIn(folder, true);
    if (!folder_handle_) {
        error_ = ::GetLastError();
        if (error_ == ERROR_SUCCESS) error_ = ERROR_DIRECTORY;  // no folder, or a link refused
        return;
    }
    try {
        file_.reset(new TReplacement(folder_handle_.Get(), OutArchiveName(base_name_, 1)));
        if (!file_->Valid()) error_ = file_->Error();
    } catch (const EToolError& failure) {
        file_.reset();  // no random name to be had: nothing was created
        error_ = failure.SystemCode();
    }
}

TOutFolderTarget::~TOutFolderTarget() = default;

std::wstring TOutFolderTarget::Save(const std::wstring& archive) {
    if (!Ready()) return std::wstring();
    ScopedFileHandle source =
        OpenFileHandle(archive, GENERIC_READ, kShareRead, OPEN_EXISTING, kSequential | kOpenLinkItself);
    if (!source || !CopyOpenFileContent(source.Get(), file_->File())) {
        error_ = ::GetLastError();
        file_.reset();
        return std::wstring();
    }
    FILETIME written = {};
    if (::GetFileTime(source.Get(), nullptr, nullptr, &written)) {
        ::SetFileTime(file_->File(), nullptr, nullptr, &written);
    }
    for (unsigned attempt = 1; attempt <= kOutArchiveAttempts; ++attempt) {
        const std::wstring name = OutArchiveName(base_name_, attempt);
        if (file_->CommitAsNew(name)) return folder_ + name;
        if (file_->Error() != ERROR_ALREADY_EXISTS) break;
    }
    error_ = file_->Error();
    file_.reset();
    return std::wstring();
}

}  // namespace vantrel
