// Reading a folder of the user's data (the product's install, updater and
// roaming data folders) so that nothing the user could not read comes into
// the archive or the report. The user may own such a folder and plant links
// and hard links in it; an elevated run reads with the user's rights where
// they can be had (TUserRights), and in every case:
//   - below the folder, nothing is reached through a link: every file is
//     opened without following a link and kept only when its handle is no
//     link and the folder it lies in is where its path below the folder
//     says (checked on that folder's handle, once per folder);
//   - the folder itself may be a link only when the system or the
//     administrators made it (an install folder moved by an administrator);
//   - without the user's rights, the same holds for every folder above it,
//     a file with more than one name (a hard link) is not taken, and each
//     file's own handle must lie exactly where its path says (which also
//     catches a link the system shows as the file it points to, as Wine
//     does, and a folder swapped after its check).
// Names are used in their extended-length form: trailing dots and spaces
// stay, device names are plain names, and paths may exceed 260 characters.
#pragma once

#include "platform/files/links_win.h"
#include "platform/system/impersonation_win.h"

#include <map>
#include <string>
#include <vector>

namespace vantrel {

class TUserDataFolder {
public:
    // Checks and opens the folder at `path` (a full path, with or without a
    // trailing backslash). Call it while acting with `rights` (TActAsUser).
    // Valid() is false when the folder is missing or a check refuses it.
    TUserDataFolder(const std::wstring& path, const TUserRights& rights);
    TUserDataFolder(const TUserDataFolder&) = delete;
    TUserDataFolder& operator=(const TUserDataFolder&) = delete;

    bool Valid() const { return valid_; }
    // The folder in extended-length form with a trailing backslash.
    const std::wstring& Path() const { return path_; }

    // Opens the file at `relative` below the folder with `access` (and
    // FILE_READ_ATTRIBUTES), checked on its handle as above; an invalid
    // handle for a missing file, a link, a folder, a relative path that could
    // leave the folder, or (without the user's rights) a file with more than
    // one name. An open for attributes only succeeds whatever another
    // program's sharing.
    TCheckedEntry OpenFile(const std::wstring& relative, DWORD access = GENERIC_READ) const;

    // Opens for reading the file that `checked` (an OpenFile of `relative`)
    // is, by its name again, not following a link; invalid when it cannot be
    // read (the last error tells why: another program holds it without
    // sharing, access is denied) or is no longer the same file.
    ScopedFileHandle OpenForReading(const std::wstring& relative, const TCheckedEntry& checked) const;

    // True when the folder at `relative_folder` (no trailing backslash;
    // empty: this folder) below this one lies where that path says, no link
    // on the way; asked once per folder.
    bool FolderLiesBelow(const std::wstring& relative_folder) const;

private:
    bool strict_ = false;  // no user's rights bound the reads
    bool valid_ = false;
    std::wstring path_;
    TFileLocation location_;
    std::vector<ScopedFileHandle> pins_;            // the folder and, when strict, its checked ancestors
    mutable std::map<std::wstring, bool> folders_;  // relative folder -> lies where its path says
};

}  // namespace vantrel
