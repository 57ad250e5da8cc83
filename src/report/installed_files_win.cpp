#include "report/installed_files_win.h"

#include "platform/base/contain_win.h"
#include "platform/base/file_io_win.h"
#include "platform/base/file_open_win.h"
#include "platform/base/handles_win.h"
#include "platform/base/md5.h"
#include "platform/base/system_locale_win.h"
#include "platform/files/directory_win.h"
#include "platform/files/safe_paths.h"
#include "platform/files/user_data_win.h"
#include "platform/system/registry_win.h"
#include "platform/system/version_info.h"
#include "report/section_banner.h"

namespace vantrel {

namespace {

const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vantrel_is1";
const wchar_t kInstallLocation[] = L"InstallLocation";

}  // namespace

namespace {

// The errors of a file that another program holds open without sharing, or
// has locked.
bool IsHeldByAnother(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

TDateTimeParts LocalDateTime(const FILETIME& utc) {
    FILETIME local;
    SYSTEMTIME fields;
    if (!::FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToSystemTime(&local, &fields)) return TDateTimeParts();
    return SystemTimeToParts(fields);
}

}  // namespace

TDateTimeParts FileLastWriteTime(const std::wstring& file_name) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!FileAttributeData(file_name, data)) return TDateTimeParts();
    return LocalDateTime(data.ftLastWriteTime);
}

std::wstring LoadInstallDir() {
    std::wstring location;
    {
        TRegistry registry;
        registry.SetRootHandle(HKEY_LOCAL_MACHINE);
        registry.AutoView = false;  // the product's 32-bit installer writes the 32-bit view
        if (registry.OpenKeyForRead(kUninstallKey) && registry.HasValue(kInstallLocation)) {
            location = registry.ReadText(kInstallLocation);
        }
    }
    return InstallDirFrom(location, GetModulePath());
}

void AddInstalledFiles(TStringList& lines, const std::wstring& folder, bool banner, const TUserRights& rights) {
    // A failure ends the inventory; the lines made so far stay.
    ContainFailure(L"installed files", [&] {
        // Everything here only reads, so all of it runs with the user's rights.
        TActAsUser as_user(rights);
        if (!as_user.Ready()) return;
        if (folder.empty() || !DirectoryExists(folder)) return;
        const TUserDataFolder install(folder, rights);
        if (!install.Valid()) return;
        const std::wstring& base = install.Path();
        TStringList files;
        ListFilesRecursive(base, files);
        if (files.empty()) return;
        if (banner) lines.push_back(SectionBanner());
        for (const std::wstring& path : files) {
            if (IsInResourcesFolder(path, base)) continue;
            const std::wstring relative = RelativeToFolder(path, base);
            // Identity and time stamp from an open for attributes only, which
            // another program's sharing does not refuse; a file reached
            // through a link, or that is not one file, is not listed.
            const TCheckedEntry file = install.OpenFile(relative, FILE_READ_ATTRIBUTES);
            if (!file.Handle) continue;
            // The digest from an open for reading. A file another program
            // holds without sharing, or locks, keeps its line with the digest
            // of empty input; one that cannot be read at all (access denied),
            // or is no longer that file, is left out.
            const ScopedFileHandle data = install.OpenForReading(relative, file);
            if (!data && !IsHeldByAnother(::GetLastError())) continue;
            const TDateTimeParts written = LocalDateTime(file.Info.ftLastWriteTime);
            const std::wstring version = GetFileVersionNumber(path);
            const std::wstring digest = data ? OpenFileMD5Hex(data.Get()) : EmptyInputMD5Hex();
            lines.push_back(FormatInventoryLine(relative, version, digest, written, UserLocale()));
        }
    });
}

}  // namespace vantrel
