// The installed-files inventory: the product's install folder from its
// uninstall entry, and one line per file below it with version, MD5 digest
// and last-write time. The line format, the exclusion rules and the folder
// walk rules are pure code (installed_files.cpp); the functions that touch the
// registry and the disk are in installed_files_win.cpp.
#pragma once

#include "platform/base/datetime.h"
#include "platform/base/text.h"

#include <string>

namespace vantrel {

// One inventory line: relative path, "   Ver:" version, "   MD5:" digest,
// "   DT:" and the time as the report prints dates (short date, then the
// long time unless it is exactly midnight).
std::wstring FormatInventoryLine(const std::wstring& relative_path, const std::wstring& version,
                                 const std::wstring& digest, const TDateTimeParts& written,
                                 const TLocaleFormats& locale);

// True when `path` lies in the "iTunes.Resources" subfolder of `folder`
// (which ends with a backslash): a case-sensitive substring test.
bool IsInResourcesFolder(const std::wstring& path, const std::wstring& folder);

// `path` relative to `folder` (which ends with a backslash); the path
// unchanged when it does not start with the folder.
std::wstring RelativeToFolder(const std::wstring& path, const std::wstring& folder);

// The install folder with a trailing backslash: `install_location` when not
// empty, else the folder of `module_path`.
std::wstring InstallDirFrom(const std::wstring& install_location, const std::wstring& module_path);

// The file's last-write time in local time, or the zero date-time when its
// attributes cannot be read.
TDateTimeParts FileLastWriteTime(const std::wstring& file_name);

// Sets InstallDir from the uninstall entry's "InstallLocation" (32-bit view),
// else the tool's own folder, with a trailing backslash. A value that is
// not text raises the registry error, which passes to the caller.
void LoadInstallDir();

// Appends the inventory of `folder` to `lines`, opened by the banner when
// `banner` is set: nothing when the folder is missing or holds no file.
// Files in its "iTunes.Resources" subfolder are left out. Never throws: an
// error ends the inventory with the lines made so far.
void AddInstalledFiles(TStringList& lines, const std::wstring& folder, bool banner);

class TUserRights;
// AddInstalledFiles reading with `rights` (the form above uses
// UserRightsForReading). The folder is read as TUserDataFolder reads it: a
// file below it that is reached through a link, or (without the user's
// rights) has more than one name, is not listed; names keep trailing dots
// and spaces, so every listed file gets its own digest.
void AddInstalledFiles(TStringList& lines, const std::wstring& folder, bool banner, const TUserRights& rights);

}  // namespace vantrel
