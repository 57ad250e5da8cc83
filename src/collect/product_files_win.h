// The product file collection: copies the product's logs, settings and
// databases, and the files of each per-device folder, below the working
// folder, with the trace of every wildcard pattern in the tool's log. The
// product's folders may belong to the user an elevated run works for: they
// are read as TUserDataFolder reads them, with the rights the run reads the
// user's data with; the copies are written with the run's own rights.
#pragma once

#include "collect/product_files.h"
#include "platform/base/text.h"
#include "platform/system/impersonation_win.h"

#include <string>

namespace vantrel {

// Collects every pattern of the list, then each per-device folder, with
// file-system redirection off for the calling thread, reading the install
// and updater folders with `rights` and the application-data folder with
// `app_data_rights` (the same unless the run's account is not the user's).
// `work_dir` ends with a backslash. Never throws; an error ends the
// collection, leaving the later patterns out.
void CollectProductFiles(const TProductFolders& folders, const std::wstring& work_dir, const TUserRights& rights,
                         const TUserRights& app_data_rights);
// The same with one set of rights for all three folders.
void CollectProductFiles(const TProductFolders& folders, const std::wstring& work_dir, const TUserRights& rights);

// Appends the full path of every file (not folder, not link) matching
// `pattern`, in the order the file system lists them, hidden and system
// files included.
void ListMatchingFiles(const std::wstring& pattern, TStringList& list);

// The same for folders, "." and ".." and links left out.
void ListSubfolders(const std::wstring& pattern, TStringList& list);

}  // namespace vantrel
