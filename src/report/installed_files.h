// The installed-files inventory's facts and formatting: the line format,
// the exclusion rules and the install folder's rule. Pure code; reading the
// registry and the disk is in installed_files_win.h.
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

}  // namespace vantrel
