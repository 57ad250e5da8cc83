// The installed-files inventory gathered: the product's install folder from
// its uninstall entry, and one line per file below it with version, MD5
// digest and last-write time.
#pragma once

#include "platform/base/datetime.h"
#include "platform/base/text.h"
#include "report/installed_files.h"

#include <string>

namespace vantrel {

class TUserRights;

// The file's last-write time in local time, or the zero date-time when its
// attributes cannot be read.
TDateTimeParts FileLastWriteTime(const std::wstring& file_name);

// The install folder from the uninstall entry's "InstallLocation" (32-bit
// view), else the tool's own folder, with a trailing backslash. A value
// that is not text raises the registry error, which passes to the caller.
std::wstring LoadInstallDir();

// Appends the inventory of `folder` to `lines`, opened by the banner when
// `banner` is set: nothing when the folder is missing or holds no file.
// Files in its "iTunes.Resources" subfolder are left out. The folder is read
// with `rights`, as TUserDataFolder reads it: a file below it that is
// reached through a link, or (without the user's rights) has more than one
// name, is not listed; names keep trailing dots and spaces, so every listed
// file gets its own digest. Never throws: an error ends the inventory with
// the lines made so far.
void AddInstalledFiles(TStringList& lines, const std::wstring& folder, bool banner, const TUserRights& rights);

}  // namespace vantrel
