// The decision rules of the well-known folders, free of system calls: which
// lookup answers a folder kind, when the shell's answer is taken, and the
// environment variables and default paths the special-folder lookup falls
// back to.
#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// Shell folder identifiers (CSIDL numbers) the rules name.
constexpr int kCsidlDesktopDirectory = 16;
constexpr int kCsidlCommonStartup = 24;
constexpr int kCsidlAppData = 26;
constexpr int kCsidlLocalAppData = 28;
constexpr int kCsidlCommonAppData = 35;
constexpr int kCsidlProgramFiles = 38;
constexpr int kCsidlProgramFilesCommon = 43;

// Folder kinds of TAppFrame::GetFolder that the tool asks for by name; the
// other kinds up to 35 are answered too (FolderKindFor).
constexpr std::uint32_t kFolderKindWindows = 0;
constexpr std::uint32_t kFolderKindSystem = 1;
constexpr std::uint32_t kFolderKindTemp = 2;  // ends with a backslash
constexpr std::uint32_t kFolderKindStartup = 10;
constexpr std::uint32_t kFolderKindLocalAppData = 13;
constexpr std::uint32_t kFolderKindProgramFilesCommon = 16;

// Where a folder kind of TAppFrame::GetFolder gets its answer.
enum class TFolderSource { None, Windows, System, Temp, Shell };

struct TFolderKind {
    TFolderSource Source;
    int Csidl;  // for TFolderSource::Shell only
};

// The source of folder kind `kind`: 0 Windows, 1 system, 2 temporary
// folder, 3 to 35 a shell folder; kind 14 and every kind above 35 None.
TFolderKind FolderKindFor(std::uint32_t kind);

// True when the shell's special-folder answer is taken as it is: more than
// two characters, so neither empty nor a bare drive such as "C:".
bool IsUsableShellFolder(const std::wstring& folder);

// True for a major operating-system version of Vista or later (above 5).
bool IsVistaOrLater(unsigned major_version);

// The environment variable the special-folder lookup reads for `csidl` when
// the shell gives no usable answer; empty text for a CSIDL without fall-back.
std::wstring FallbackVariable(int csidl, bool wow64);

// The default path, after the drive, for `csidl` when neither the shell nor
// the variable answers; empty text for a CSIDL without fall-back.
std::wstring FallbackDefaultPath(int csidl, bool wow64, bool vista_or_later, const std::wstring& user);

// True for the five CSIDLs that have a fall-back (26, 28, 35, 38, 43).
bool HasSpecialFolderFallback(int csidl);

// An environment value as the fall-back takes it: leading and trailing
// characters up to and including the space (codes 0 to 32) removed.
std::wstring TrimEnvironmentValue(const std::wstring& value);

// The last candidate of the application-data chain: the all-users
// (`common`) or per-user application-data folder on `drive` ("C:").
std::wstring AppDataDefaultPath(const std::wstring& drive, const std::wstring& user, bool common, bool vista_or_later);

// The drive part of a full path: "C:" of "C:\x", "\\server\share" of a UNC
// path, empty text otherwise.
std::wstring ExtractFileDrive(const std::wstring& path);

}  // namespace vantrel
