// Writing a file in place of another, the one way the tool does it: the
// new content goes into a file created new under a random name in the open
// folder, and only the complete file is renamed over the name, relative to
// the same folder handle. Whatever had the name before, a link or a hard
// link included, is replaced as a name and never written through; an old
// file is replaced only by a complete new one; nothing half written ever
// stands under the name.
#pragma once

#include "platform/base/handles_win.h"

#include <string>

namespace vantrel {

// Opens `folder` for creating files in it (kCreateInFolder). With
// `refuse_user_links` a folder whose own entry is a link that a user could
// have made (its owner is not the system, the administrators or the
// installer service) is refused; a link the system or an administrator made
// (a moved profile or program folder) is followed. Invalid when the folder
// cannot be opened, is no folder, or is refused.
ScopedFileHandle OpenFolderToWriteIn(const std::wstring& folder, bool refuse_user_links);

class TReplacement {
public:
    // Creates the new file in the open `folder` (opened with kCreateInFolder)
    // under `name` without its extension, a dot, 16 random hexadecimal
    // digits and ".part", with `attributes`. Not Valid() when it cannot be
    // created (Error() tells why); throws EToolError when no random name can
    // be had.
    TReplacement(HANDLE folder, const std::wstring& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL);
    // Deletes the new file, through its own handle, unless it was committed.
    ~TReplacement();
    TReplacement(const TReplacement&) = delete;
    TReplacement& operator=(const TReplacement&) = delete;

    bool Valid() const { return file_.Valid(); }
    DWORD Error() const { return error_; }
    // The new file: written, positioned and timed through this handle.
    HANDLE File() const { return file_.Get(); }
    // Renames the new file over the name and closes it; true when it stands
    // there now, complete. When the rename fails (Error() tells why) the new
    // file is deleted when the object goes.
    bool Commit();
    // Renames the new file to `name` in the folder without replacing
    // anything, and closes it; true when it stands there now, complete.
    // False when the rename fails (Error() tells why): ERROR_ALREADY_EXISTS
    // when something has that name, and the new file then stays, not
    // committed, for another name.
    bool CommitAsNew(const std::wstring& name);

private:
    HANDLE folder_;
    std::wstring name_;
    DWORD attributes_;
    ScopedFileHandle file_;
    DWORD error_ = ERROR_SUCCESS;
    bool committed_ = false;
};

}  // namespace vantrel
