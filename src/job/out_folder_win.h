// A new archive in a folder that the command line names ("/out"), which
// many runs may share: runs on one machine, and machines writing into one
// share. What the run trusts there and why is written down in
// docs/trust_model.md.
#pragma once

#include "platform/base/handles_win.h"
#include "platform/files/replace_win.h"

#include <memory>
#include <string>

namespace vantrel {

class TOutFolderTarget {
public:
    // Claims a new file in `folder` (a full path, local or UNC) before the
    // run starts, with the run's own rights: the folder is opened for
    // creating files, refused when its own entry is a link, and a file is
    // created new in it at once under `base_name` + a random part (a name
    // nobody else has, nothing followed), so that a folder that cannot be
    // written is found before any work. Never throws; Ready() tells.
    TOutFolderTarget(const std::wstring& folder, const std::wstring& base_name);
    // The claimed file goes unless Save gave it its name.
    ~TOutFolderTarget();
    TOutFolderTarget(const TOutFolderTarget&) = delete;
    TOutFolderTarget& operator=(const TOutFolderTarget&) = delete;

    bool Ready() const { return file_ != nullptr && file_->Valid(); }
    // Why the folder could not be claimed, or why Save failed (a Windows
    // error code; 0 when there is none).
    DWORD Error() const { return error_; }
    // The folder as a full path with a trailing backslash, as a person reads it.
    const std::wstring& Folder() const { return folder_; }

    // Copies `archive` into the claimed file and renames it to the first
    // free name of OutArchiveName(base_name, 1, 2, ...), never replacing
    // anything, whatever another run or machine saves meanwhile. The saved
    // archive's full path; empty when it was not saved (the claimed file
    // is then gone).
    std::wstring Save(const std::wstring& archive);

private:
    std::wstring folder_;
    std::wstring base_name_;
    ScopedFileHandle folder_handle_;
    std::unique_ptr<TReplacement> file_;
    DWORD error_ = ERROR_SUCCESS;
};

}  // namespace vantrel
