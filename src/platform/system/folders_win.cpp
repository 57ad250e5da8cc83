#include "platform/system/folders_win.h"

#include "platform/base/file_io_win.h"
#include "platform/base/handles_win.h"
#include "platform/base/os_version_win.h"
#include "platform/base/text.h"
#include "platform/base/wow64_win.h"
#include "platform/system/folder_rules.h"
#include "platform/system/registry_win.h"

#include <shlobj.h>

#include <vector>

namespace vantrel {

namespace {

const wchar_t kShellFoldersKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// A folder lookup of the GetWindowsDirectoryW kind into 256 characters with
// a stated capacity of 255; empty text when it fails or would not fit.
template <typename Lookup>
std::wstring FolderFromCall(Lookup lookup) {
    wchar_t buffer[256] = {};
    const DWORD length = lookup(buffer, 255);
    if (length == 0 || length > 255) return std::wstring();
    return std::wstring(buffer, length);
}

std::wstring UserNameWithCapacity(DWORD capacity) {
    std::vector<wchar_t> buffer(capacity + 1, L'\0');
    DWORD size = capacity;
    if (!::GetUserNameW(buffer.data(), &size)) return std::wstring();
    return std::wstring(buffer.data());
}

// The first two characters of the Windows folder ("C:"); empty on failure.
std::wstring SystemDrive() {
    wchar_t buffer[261] = {};
    const UINT length = ::GetWindowsDirectoryW(buffer, 260);
    if (length == 0 || length > 260) return std::wstring();
    return std::wstring(buffer).substr(0, 2);
}

std::wstring AppDataFromShell(bool common) {
    return TAppFrame::GetShellFolder(nullptr, common ? kCsidlCommonAppData : kCsidlAppData);
}

std::wstring AppDataFromRegistry(bool common) {
    // A text value ("" when missing or not text) of the key opened with query
    // access in the default view.
    std::wstring folder;
    ReadRegistryText(common ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, kShellFoldersKey,
                     common ? L"Common AppData" : L"AppData", KEY_QUERY_VALUE, folder);
    return folder;
}

std::wstring AppDataFromDefault(bool common) {
    return AppDataDefaultPath(SystemDrive(), UserNameWithCapacity(260), common, IsVistaOrLater(GetOsVersion().Major));
}

std::wstring ShellOrChain(int csidl, bool common) {
    std::wstring folder = TAppFrame::GetShellFolder(nullptr, csidl);
    return folder.empty() ? TAppFrame::GetAppDataDir(common) : folder;
}

std::wstring EnvironmentValue(const std::wstring& name) {
    DWORD needed = ::GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (needed == 0) return std::wstring();
    std::vector<wchar_t> buffer(needed + 1, L'\0');
    DWORD length = ::GetEnvironmentVariableW(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size()) return std::wstring();
    return std::wstring(buffer.data(), length);
}

// The drive of the loaded kernel32.dll ("C:").
std::wstring KernelDrive() {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameW(::GetModuleHandleW(L"kernel32.dll"), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    return ExtractFileDrive(FullPath(std::wstring(path, length)));
}

}  // namespace

TAppFrame::TAppFrame()
    : AppDataDir(ShellOrChain(kCsidlAppData, false)),
      CommonAppDataDir(ShellOrChain(kCsidlCommonAppData, true)),
      ExeDir(ExtractFilePath(GetModulePath())) {}

std::wstring TAppFrame::GetFolder(std::uint32_t kind) const {
    const TFolderKind folder = FolderKindFor(kind);
    switch (folder.Source) {
        case TFolderSource::Windows: return GetWindowsDir();
        case TFolderSource::System: return GetSystemDir();
        case TFolderSource::Temp: return GetTempDir();
        case TFolderSource::Shell: return GetShellFolder(nullptr, folder.Csidl);
        case TFolderSource::None: break;
    }
    return std::wstring();
}

std::wstring TAppFrame::GetShellFolder(HWND owner, int csidl) {
    wchar_t buffer[261] = {};
    if (!::SHGetSpecialFolderPathW(owner, buffer, csidl, FALSE)) return std::wstring();
    return std::wstring(buffer);
}

std::wstring GetUserShellFolder(HANDLE token, int csidl) {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (token == nullptr || FAILED(::SHGetFolderPathW(nullptr, csidl, token, SHGFP_TYPE_CURRENT, buffer))) {
        return std::wstring();
    }
    return std::wstring(buffer);
}

std::wstring TAppFrame::GetWindowsDir() {
    return FolderFromCall([](wchar_t* buffer, UINT capacity) { return ::GetWindowsDirectoryW(buffer, capacity); });
}

std::wstring TAppFrame::GetSystemDir() {
    return FolderFromCall([](wchar_t* buffer, UINT capacity) { return ::GetSystemDirectoryW(buffer, capacity); });
}

std::wstring TAppFrame::GetTempDir() {
    return FolderFromCall([](wchar_t* buffer, DWORD capacity) { return ::GetTempPathW(capacity, buffer); });
}

std::wstring TAppFrame::GetAppDataDir(bool common) {
    using Candidate = std::wstring (*)(bool);
    static const Candidate kCandidates[] = {AppDataFromShell, AppDataFromRegistry, AppDataFromDefault};
    for (Candidate candidate : kCandidates) {
        std::wstring folder = candidate(common);
        if (!folder.empty() && DirectoryExists(folder)) return folder;
    }
    return std::wstring();
}

void CreateReportAppFrame() { ReportAppFrame(); }

const TAppFrame& ReportAppFrame() {
    static const TAppFrame frame;
    return frame;
}

const TAppFrame& AppFrame() {
    static const TAppFrame frame;
    return frame;
}

std::wstring GetSpecialFolder(HWND owner, int csidl) {
    std::wstring result = TAppFrame::GetShellFolder(owner, csidl);
    if (IsUsableShellFolder(result)) return result;
    return SpecialFolderFallback(csidl, result);
}

std::wstring SpecialFolderFallback(int csidl, const std::wstring& shell_result) {
    if (!HasSpecialFolderFallback(csidl)) return shell_result;
    const bool wow64 = IsWow64();
    std::wstring value = TrimEnvironmentValue(EnvironmentValue(FallbackVariable(csidl, wow64)));
    if (!value.empty()) return value;
    return KernelDrive() +
           FallbackDefaultPath(csidl, wow64, IsVistaOrLater(GetOsVersion().Major), GetCurrentUserName());
}

std::wstring GetTempDir() { return TAppFrame::GetTempDir(); }

std::wstring GetSystemDir() { return TAppFrame::GetSystemDir(); }

std::wstring GetSharedWindowsDir() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT length = ::GetSystemWindowsDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length > MAX_PATH) return std::wstring();
    return ExcludeTrailingBackslash(std::wstring(buffer, length));
}

std::wstring GetCurrentUserName() { return UserNameWithCapacity(255); }

}  // namespace vantrel
