// Folder walks over a lister, so that the walk's rules are pure code; the
// lister over the real file system is in directory_win.
#pragma once

#include "platform/base/text.h"

#include <functional>
#include <string>
#include <vector>

namespace vantrel {

// One entry of a folder listing.
struct TDirEntry {
    std::wstring Name;
    bool IsFolder = false;
    bool IsLink = false;  // a junction or symbolic link (IsLinkReparseTag); never entered
};

// Lists a folder (given with a trailing backslash) in the file system's
// order, "." and ".." included or not; an unreadable folder lists nothing.
using TDirectoryLister = std::function<std::vector<TDirEntry>(const std::wstring& folder)>;

// Appends the full paths of all files below `folder` to `list`: depth first,
// each folder in the lister's order, a subfolder's files inserted where the
// subfolder was met. Folders named ".svn" (exact case) and links are not
// entered; a link to a file is not listed either. Nothing for an empty
// folder text.
void WalkFiles(const std::wstring& folder, TStringList& list, const TDirectoryLister& lister);

}  // namespace vantrel
