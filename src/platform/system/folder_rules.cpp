#include "platform/system/folder_rules.h"

#include "platform/base/text.h"

namespace vantrel {

namespace {

// Kinds 0 to 35 in order; kinds 13 and 19 share a folder, and so do 16 and 30.
// One kind a line, so that a line's place is its kind.
// clang-format off
constexpr TFolderKind kFolderKinds[] = {
    {TFolderSource::Windows, 0},
    {TFolderSource::System, 0},
    {TFolderSource::Temp, 0},
    {TFolderSource::Shell, 32},  // CSIDL_INTERNET_CACHE
    {TFolderSource::Shell, 33},  // CSIDL_COOKIES
    {TFolderSource::Shell, 34},  // CSIDL_HISTORY
    {TFolderSource::Shell, 8},   // CSIDL_RECENT
    {TFolderSource::Shell, 16},  // CSIDL_DESKTOPDIRECTORY
    {TFolderSource::Shell, 2},   // CSIDL_PROGRAMS
    {TFolderSource::Shell, 6},   // CSIDL_FAVORITES
    {TFolderSource::Shell, 7},   // CSIDL_STARTUP
    {TFolderSource::Shell, 40},  // CSIDL_PROFILE
    {TFolderSource::Shell, 26},  // CSIDL_APPDATA
    {TFolderSource::Shell, 28},  // CSIDL_LOCAL_APPDATA
    {TFolderSource::None, 0},
    {TFolderSource::Shell, 38},  // CSIDL_PROGRAM_FILES
    {TFolderSource::Shell, 43},  // CSIDL_PROGRAM_FILES_COMMON
    {TFolderSource::Shell, 11},  // CSIDL_STARTMENU
    {TFolderSource::Shell, 35},  // CSIDL_COMMON_APPDATA
    {TFolderSource::Shell, 28},  // CSIDL_LOCAL_APPDATA
    {TFolderSource::Shell, 20},  // CSIDL_FONTS
    {TFolderSource::Shell, 21},  // CSIDL_TEMPLATES
    {TFolderSource::Shell, 19},  // CSIDL_NETHOOD
    {TFolderSource::Shell, 9},   // CSIDL_SENDTO
    {TFolderSource::Shell, 13},  // CSIDL_MYMUSIC
    {TFolderSource::Shell, 14},  // CSIDL_MYVIDEO
    {TFolderSource::Shell, 27},  // CSIDL_PRINTHOOD
    {TFolderSource::Shell, 39},  // CSIDL_MYPICTURES
    {TFolderSource::Shell, 41},  // CSIDL_SYSTEMX86
    {TFolderSource::Shell, 42},  // CSIDL_PROGRAM_FILESX86
    {TFolderSource::Shell, 43},  // CSIDL_PROGRAM_FILES_COMMON
    {TFolderSource::Shell, 44},  // CSIDL_PROGRAM_FILES_COMMONX86
    {TFolderSource::Shell, 48},  // CSIDL_ADMINTOOLS
    {TFolderSource::Shell, 56},  // CSIDL_RESOURCES
    {TFolderSource::Shell, 59},  // CSIDL_CDBURN_AREA
    {TFolderSource::Shell, 5},   // CSIDL_PERSONAL
};
// clang-format on

// A default path: head, then the user name when `WithUser`, then tail.
struct TPathPattern {
    const wchar_t* Head;
    bool WithUser;
    const wchar_t* Tail;
};

// The fall-backs of the special-folder lookup; the "Wow64" columns apply
// to a 32-bit process on 64-bit Windows.
struct TSpecialFolderFallback {
    int Csidl;
    const wchar_t* Variable;
    const wchar_t* VariableWow64;
    TPathPattern Vista;
    TPathPattern VistaWow64;
    TPathPattern Earlier;
    TPathPattern EarlierWow64;
};

// clang-format off
constexpr TSpecialFolderFallback kFallbacks[] = {
    {kCsidlAppData, L"APPDATA", L"APPDATA",
     {L"\\Users\\", true, L"\\AppData\\Roaming"},
     {L"\\Users\\", true, L"\\AppData\\Roaming"},
     {L"\\Documents and Settings\\", true, L"\\Application Data"},
     {L"\\Documents and Settings\\", true, L"\\Application Data"}},
    {kCsidlLocalAppData, L"LOCALAPPDATA", L"LOCALAPPDATA",
     {L"\\Users\\", true, L"\\AppData\\Local"},
     {L"\\Users\\", true, L"\\AppData\\Local"},
     {L"\\Documents and Settings\\", true, L"\\Local Settings\\Application Data"},
     {L"\\Documents and Settings\\", true, L"\\Local Settings\\Application Data"}},
    {kCsidlCommonAppData, L"ProgramData", L"ProgramData",
     {L"\\ProgramData", false, L""},
     {L"\\ProgramData", false, L""},
     {L"\\Documents and Settings\\All Users\\Application Data", false, L""},
     {L"\\Documents and Settings\\All Users\\Application Data", false, L""}},
    {kCsidlProgramFiles, L"ProgramFiles", L"ProgramFiles(x86)",
     {L"\\Program Files", false, L""},
     {L"\\Program Files (x86)", false, L""},
     {L"\\Program Files", false, L""},
     {L"\\Program Files (x86)", false, L""}},
    {kCsidlProgramFilesCommon, L"CommonProgramFiles", L"CommonProgramFiles(x86)",
     {L"\\Program Files\\Common Files", false, L""},
     {L"\\Program Files (x86)\\Common Files", false, L""},
     {L"\\Program Files\\Common Files", false, L""},
     {L"\\Program Files (x86)\\Common Files", false, L""}},
};
// clang-format on

const TSpecialFolderFallback* FindFallback(int csidl) {
    for (const auto& fallback : kFallbacks) {
        if (fallback.Csidl == csidl) return &fallback;
    }
    return nullptr;
}

std::wstring Expand(const TPathPattern& pattern, const std::wstring& user) {
    std::wstring path = pattern.Head;
    if (pattern.WithUser) path += user;
    return path + pattern.Tail;
}

}  // namespace

TFolderKind FolderKindFor(std::uint32_t kind) {
    if (kind >= sizeof kFolderKinds / sizeof kFolderKinds[0]) return {TFolderSource::None, 0};
    return kFolderKinds[kind];
}

bool IsUsableShellFolder(const std::wstring& folder) { return folder.size() > 2; }

bool IsVistaOrLater(unsigned major_version) { return major_version > 5; }

bool HasSpecialFolderFallback(int csidl) { return FindFallback(csidl) != nullptr; }

std::wstring FallbackVariable(int csidl, bool wow64) {
    const TSpecialFolderFallback* fallback = FindFallback(csidl);
    if (fallback == nullptr) return std::wstring();
    return wow64 ? fallback->VariableWow64 : fallback->Variable;
}

std::wstring FallbackDefaultPath(int csidl, bool wow64, bool vista_or_later, const std::wstring& user) {
    const TSpecialFolderFallback* fallback = FindFallback(csidl);
    if (fallback == nullptr) return std::wstring();
    const TPathPattern& pattern = vista_or_later ? (wow64 ? fallback->VistaWow64 : fallback->Vista)
                                                 : (wow64 ? fallback->EarlierWow64 : fallback->Earlier);
    return Expand(pattern, user);
}

std::wstring TrimEnvironmentValue(const std::wstring& value) { return TrimControl(value); }

std::wstring AppDataDefaultPath(const std::wstring& drive, const std::wstring& user, bool common, bool vista_or_later) {
    // The same folders the special-folder fall-back gives a native process.
    return drive + FallbackDefaultPath(common ? kCsidlCommonAppData : kCsidlAppData, false, vista_or_later, user);
}

std::wstring ExtractFileDrive(const std::wstring& path) {
    if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
    if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') {
        // "\\server\share": up to the backslash after the share name.
        std::size_t server_end = path.find(L'\\', 2);
        if (server_end == std::wstring::npos) return path;
        std::size_t share_end = path.find(L'\\', server_end + 1);
        return share_end == std::wstring::npos ? path : path.substr(0, share_end);
    }
    return std::wstring();
}

}  // namespace vantrel
