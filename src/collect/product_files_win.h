// The product file collection: copies the product's logs, settings and
// databases, and the files of each per-device folder, below the working
// folder, with the trace of every wildcard pattern in the tool's log.
#pragma once

#include "collect/product_files.h"
#include "platform/text.h"

#include <string>

namespace vantrel {

// Collects for the product's folders: InstallDir, UpdaterDir and the report
// frame's AppDataDir. `work_dir` ends with a backslash. Never throws.
void CollectProductFiles(const std::wstring& work_dir);

// Collects every pattern of the list, then each per-device folder, with
// file-system redirection off for the calling thread. Never throws; an
// error ends the collection, leaving the later patterns out.
void CollectProductFiles(const TProductFolders& folders, const std::wstring& work_dir);

// Expands one pattern and copies what it names below `work_dir`: a missing
// file or folder copies nothing; a file that cannot be copied is skipped.
void CollectPattern(const std::wstring& pattern, const TProductFolders& folders, const std::wstring& work_dir);

// Appends the full path of every file (not folder) matching `pattern`, in the
// order the file system lists them, hidden and system files included.
void ListMatchingFiles(const std::wstring& pattern, TStringList& list);

// The same for folders, "." and ".." left out.
void ListSubfolders(const std::wstring& pattern, TStringList& list);

}  // namespace vantrel
