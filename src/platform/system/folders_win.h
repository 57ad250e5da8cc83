// Well-known folders: the Windows, system and temporary folders, the shell's
// special folders and the tool's own folder. Every answer is a plain path;
// only the temporary folder and ExeDir end with a backslash. A folder that
// cannot be found is empty text; nothing here throws.
#pragma once

#include "platform/base/win.h"
#include "platform/system/folder_rules.h"

#include <cstdint>
#include <string>

namespace vantrel {

// The application-data folders, resolved once, and the tool's own folder;
// answers numbered folder kinds. Fields never change after construction, so
// an instance made on one thread may be read on another without locking.
class TAppFrame {
public:
    // Resolves the fields: each application-data folder from the shell
    // (taken as given), else from GetAppDataDir; ExeDir from the module path.
    TAppFrame();

    // The current user's application-data folder, no trailing backslash.
    const std::wstring AppDataDir;
    // The all-users application-data folder, no trailing backslash.
    const std::wstring CommonAppDataDir;
    // The folder of the running executable, with its trailing backslash.
    const std::wstring ExeDir;

    // The folder of kind `kind`: 0 Windows, 1 system, 2 temporary folder
    // (with backslash), 3 to 35 shell folders (see FolderKindFor); empty for
    // kind 14, every kind above 35 and a folder the shell does not know. The
    // kinds the tool asks for have names (kFolderKindTemp and others).
    std::wstring GetFolder(std::uint32_t kind) const;

    // SHGetSpecialFolderPathW for `csidl`, never creating the folder; empty
    // text when the shell has none. No fall-back.
    static std::wstring GetShellFolder(HWND owner, int csidl);
    // GetWindowsDirectoryW; empty text when it fails.
    static std::wstring GetWindowsDir();
    // GetSystemDirectoryW; empty text when it fails.
    static std::wstring GetSystemDir();
    // GetTempPathW, ending with a backslash as the system gives it; empty
    // text when it fails.
    static std::wstring GetTempDir();
    // The all-users (`common`) or per-user application-data folder: the
    // shell's, else the "Shell Folders" registry entry's, else the default
    // path on the system drive; the first that exists on disk, or empty text.
    static std::wstring GetAppDataDir(bool common);
};

// The report's instance. The start-up code creates it before the main window
// exists (CreateReportAppFrame); the report job and its sections read it.
void CreateReportAppFrame();
const TAppFrame& ReportAppFrame();

// A second process-wide instance, created on its first call and freed when
// the program ends. Not locked: its first call must not race another.
const TAppFrame& AppFrame();

// The shell's special folder for `csidl` (never created). When the shell
// gives no answer or a bare drive, five folders fall back to an environment
// variable (trimmed) and then to a default path on the kernel32.dll drive:
// CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA,
// CSIDL_PROGRAM_FILES and CSIDL_PROGRAM_FILES_COMMON (the x86 variants
// under WOW64). Every other CSIDL gives the shell's answer, possibly empty.
// A fall-back path may name a folder that does not exist.
std::wstring GetSpecialFolder(HWND owner, int csidl);

// The special folder `csidl` of the user whose token `token` is (opened
// with TOKEN_QUERY and TOKEN_IMPERSONATE), as the shell gives it for that
// user (SHGetFolderPathW), never created; empty text when the shell gives
// none (the user's profile is not loaded, or the system cannot answer for
// another user). No fall-back.
std::wstring GetUserShellFolder(HANDLE token, int csidl);

// The fall-back steps of GetSpecialFolder alone, for a CSIDL whose shell
// answer `shell_result` was not usable: the trimmed environment variable,
// else the default path; `shell_result` for a CSIDL without fall-back.
std::wstring SpecialFolderFallback(int csidl, const std::wstring& shell_result);

// The temporary folder with its trailing backslash (TAppFrame::GetTempDir).
std::wstring GetTempDir();
// The Windows folder all users share (GetSystemWindowsDirectoryW, which
// answers the same for every user on a terminal server), no trailing
// backslash; empty text when it fails.
std::wstring GetSharedWindowsDir();
// The system folder without trailing backslash (TAppFrame::GetSystemDir).
std::wstring GetSystemDir();
// The user name of the account the tool runs under (GetUserNameW); empty
// text when the call fails.
std::wstring GetCurrentUserName();

}  // namespace vantrel
