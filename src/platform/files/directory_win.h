// Folder listings, walks and removal on the real file system.
#pragma once

#include "platform/files/directory.h"
#include "platform/files/links_win.h"

#include <string>
#include <vector>

namespace vantrel {

// A folder's entries (the folder given with a trailing backslash) in the
// file system's order, "." and ".." included, every attribute admitted;
// nothing for an unreadable folder. Links are marked (IsLinkEntry).
std::vector<TDirEntry> ListDirectory(const std::wstring& folder);

// WalkFiles over the real file system, every attribute admitted.
void ListFilesRecursive(const std::wstring& folder, TStringList& list);

// Removes a folder with everything in it, with the tool's own walk, which
// never enters a link: a link is removed itself where its own handle shows
// it as a link, and left where the system shows only what it points to.
// Every entry is deleted through the handle that was checked, the read-only
// attribute cleared first; names are used in their extended-length form, so
// trailing dots and spaces and paths over 260 characters work. A folder
// that is itself a link is not entered. True when the folder is gone.
bool DeleteDirTree(const std::wstring& path);

// DeleteDirTree for a folder that must be `expected` (the folder that was
// made there): nothing is removed when something else is there now.
bool DeleteDirTree(const std::wstring& path, const TFileId& expected);

}  // namespace vantrel
