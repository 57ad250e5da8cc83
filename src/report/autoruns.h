// The autoruns section's facts and formatting: the launch-group table, the
// text rules and the assembly of the groups. Pure code; the readers that look
// at the registry, the folders and shortcut files are in autoruns_win.h.
#pragma once

#include "platform/base/text.h"

#include <cstddef>
#include <functional>
#include <string>

namespace vantrel {

// The registry root a launch point lives under.
enum class TAutorunRoot { None, CurrentUser, LocalMachine };

// How a launch point is read.
enum class TAutorunReader {
    UserStartupFolder,    // the current user's Startup folder
    CommonStartupFolder,  // the all-users Startup folder
    NamedValues,          // every value of the key: "name=text"
    RunOnceEx,            // the values of each subkey, split on "|"
    DelimitedList,        // the items of one comma or space separated value
    LogonProgram,         // as DelimitedList, a leading default program skipped
};

// One row of the launch-group table.
struct TLaunchSource {
    const wchar_t* Heading;  // the heading of the row's group
    TAutorunReader Reader;
    TAutorunRoot Root;
    const wchar_t* Key;             // registry key path, exactly as written; null for folders
    const wchar_t* ValueName;       // DelimitedList and LogonProgram only
    const wchar_t* DefaultProgram;  // LogonProgram only
    bool Wow64Only;                 // read only when the process runs under WOW64
};

// The launch-group table in report order; rows of one group are adjacent.
extern const TLaunchSource kLaunchSources[];
extern const std::size_t kLaunchSourceCount;

// The folders and facts of the machine the section reads.
struct TAutorunsContext {
    std::wstring UserStartupFolder;    // empty: not read
    std::wstring CommonStartupFolder;  // empty: not read
    std::wstring WindowsFolder;        // no trailing backslash
    std::wstring SystemFolder;         // no trailing backslash
    bool Wow64 = false;
};

// Reads one source of the table, appending its lines; may throw.
using TLaunchSourceReader = std::function<void(const TLaunchSource& source, TStringList& lines)>;

// The whole section: an empty line, "===== Autoruns =====", an empty line,
// then each group of `sources` (Wow64Only rows only when `wow64`) with its
// heading inserted before its lines, a group without lines leaving no
// heading. An error raised by `read` passes to the caller.
TStringList AssembleAutoruns(const TLaunchSource* sources, std::size_t count, bool wow64,
                             const TLaunchSourceReader& read);

// Splits `text` at every `separator`, dropping empty segments; fills `parts`
// and returns their number. Spaces stay inside the parts.
std::size_t SplitOnChar(wchar_t separator, const std::wstring& text, TStringList& parts);

// The items of a comma-delimited list with double quotes: characters up to
// code 32 separate items as commas do; a quoted item keeps its spaces, loses
// its quotes and turns a doubled quote into one; an unclosed quote takes the
// rest; a comma at the very end adds one empty item.
TStringList SplitDelimitedList(const std::wstring& text);

// The lines of one RunOnceEx value split on "|" into p1, p2, p3...:
// "rundll32.exe p1" when p1 is not blank; "rundll32.exe p1,p2" when p2 is
// not blank; with a third part, p3 alone when p1 and p2 are both blank, else
// "rundll32.exe p1,p2 p3".
TStringList RunOnceExLines(const std::wstring& text);

// True when `item` names the default logon program: the bare name, or the
// name in the system or Windows folder, compared ignoring ASCII case.
bool IsDefaultLogonProgram(const std::wstring& item, const std::wstring& default_program,
                           const std::wstring& system_folder, const std::wstring& windows_folder);

// The items of a delimited value that are not blank; with a default program,
// a first item naming it (IsDefaultLogonProgram) is left out as well.
TStringList DelimitedValueLines(const std::wstring& text, const std::wstring& default_program,
                                const std::wstring& system_folder, const std::wstring& windows_folder);

// True for the Startup file names never listed ("desktop.ini", "Thumbs.db",
// any case).
bool IsStartupSkipName(const std::wstring& file_name);

// True when the file is a shortcut (extension ".lnk", any ASCII case).
bool IsShortcutFile(const std::wstring& path);

// The line of a resolved shortcut: the target in double quotes, one space,
// the arguments.
std::wstring ShellLinkLine(const std::wstring& target, const std::wstring& arguments);

}  // namespace vantrel
