// Folder listings, walks and removal on the real file system.
#pragma once

#include "platform/directory.h"

#include <string>
#include <vector>

namespace vantrel {

// A folder's entries (the folder given with a trailing backslash) in the
// file system's order, "." and ".." included, every attribute admitted;
// nothing for an unreadable folder.
std::vector<TDirEntry> ListDirectory(const std::wstring& folder);

// WalkFiles over the real file system, every attribute admitted.
void ListFilesRecursive(const std::wstring& folder, TStringList& list);

// Removes a folder with everything in it through the shell; true on success.
bool DeleteDirTree(const std::wstring& path);

}  // namespace vantrel
