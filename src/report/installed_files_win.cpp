#include "report/installed_files.h"

#include "platform/directory_win.h"
#include "platform/file_io_win.h"
#include "platform/handles_win.h"
#include "platform/md5.h"
#include "platform/registry_win.h"
#include "platform/run_globals_win.h"
#include "platform/system_locale_win.h"
#include "platform/version_info.h"
#include "report/section_banner.h"

namespace vantrel {

namespace {

const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vantrel_is1";
const wchar_t kInstallLocation[] = L"InstallLocation";

}  // namespace

TDateTimeParts FileLastWriteTime(const std::wstring& file_name) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    FILETIME local;
    SYSTEMTIME fields;
    if (!::GetFileAttributesExW(file_name.c_str(), GetFileExInfoStandard, &data) ||
        !::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !::FileTimeToSystemTime(&local, &fields)) {
        return TDateTimeParts();
    }
    return SystemTimeToParts(fields);
}

void LoadInstallDir() {
    InstallDir.clear();
    std::wstring location;
    {
        TRegistry registry;
        registry.SetRootHandle(HKEY_LOCAL_MACHINE);
        registry.AutoView = false;  // the product's 32-bit installer writes the 32-bit view
        if (registry.OpenKeyForRead(kUninstallKey) && registry.HasValue(kInstallLocation)) {
            location = registry.ReadText(kInstallLocation);
        }
    }
    InstallDir = InstallDirFrom(location, GetModulePath());
}

void AddInstalledFiles(TStringList& lines, const std::wstring& folder, bool banner) {
    try {
        if (!DirectoryExists(folder)) return;
        TStringList files;
        ListFilesRecursive(folder, files);
        if (files.empty()) return;
        if (banner) lines.push_back(SectionBanner());
        const std::wstring base = IncludeTrailingBackslash(folder);
        for (const std::wstring& path : files) {
            if (IsInResourcesFolder(path, base)) continue;
            const TDateTimeParts written = FileLastWriteTime(path);
            const std::wstring relative = RelativeToFolder(path, base);
            const std::wstring version = GetFileVersionNumber(path);
            const std::wstring digest = FileMD5Hex(path);
            lines.push_back(FormatInventoryLine(relative, version, digest, written, UserLocale()));
        }
    } catch (...) {
        // The inventory ends here; the lines made so far stay.
    }
}

}  // namespace vantrel
