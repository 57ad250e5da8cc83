// The product file collection: opens the product's logs, settings and
// databases, and the files of each per-device folder, to be packed from
// where they are under the names their copies below the working folder
// would have, with the trace of every wildcard pattern in the tool's log.
// The product's folders may belong to the user an elevated run works for:
// they are listed and their files opened as TUserDataFolder does it, with
// the rights the run reads the user's data with, once for each pattern;
// only the open handles leave that, and the log is written after it.
#pragma once

#include "collect/product_files.h"
#include "platform/base/text.h"
#include "platform/files/collected_file_win.h"
#include "platform/system/impersonation_win.h"

#include <string>

namespace vantrel {

// Collects every pattern of the list, then each per-device folder, into
// `collected`, with file-system redirection off for the calling thread,
// reading the install and updater folders with `rights` and the
// application-data folder with `app_data_rights` (the same unless the run's
// account is not the user's). Never throws; an error ends the collection,
// leaving the later patterns out.
void CollectProductFiles(const TProductFolders& folders, const TUserRights& rights, const TUserRights& app_data_rights,
                         TCollected& collected);
// The same with one set of rights for all three folders.
void CollectProductFiles(const TProductFolders& folders, const TUserRights& rights, TCollected& collected);

// Appends the full path of every file (not folder, not link) matching
// `pattern`, in the order the file system lists them, hidden and system
// files included.
void ListMatchingFiles(const std::wstring& pattern, TStringList& list);

// The same for folders, "." and ".." and links left out.
void ListSubfolders(const std::wstring& pattern, TStringList& list);

}  // namespace vantrel
