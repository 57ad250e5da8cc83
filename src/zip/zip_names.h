// How files become entry names: the relative folder part, slashes, and the
// choice between OEM bytes and UTF-8. Pure code; the code-page conversions
// come from the caller.
#pragma once

#include <string>

namespace vantrel {

// The name of `file_path` inside the archive. With `store_paths` the folder
// part is kept: made relative when `relative_paths` is set and the folder
// starts with `root_dir` (which ends with a backslash; letter case of A-Z
// ignored), then stripped of a drive and of leading backslashes. Backslashes
// become slashes. Without `store_paths` the name is the file name alone.
std::wstring ArchiveEntryName(const std::wstring& root_dir, const std::wstring& file_path, bool store_paths,
                              bool relative_paths);

// The code pages the names are checked against. Conversions replace what
// they cannot hold (with a default or a best-fit character), so a round
// trip shows whether a name survives.
struct TNameCodePages {
    std::string (*WideToAnsi)(const std::wstring& text);
    std::wstring (*AnsiToWide)(const std::string& text);
    std::string (*AnsiToOem)(const std::string& text);               // CharToOemA
    std::string (*OemToAnsi)(const std::string& text);               // OemToCharA
    bool (*SameText)(const std::wstring& a, const std::wstring& b);  // letter case ignored
};

enum class TOemConvert { oemNever, oemFlexible };

// An entry name as stored: its bytes and whether they are UTF-8.
struct TEncodedName {
    std::string Bytes;
    bool Utf8 = false;
};

// The stored form of `name`. With oemFlexible a name that survives the
// round trips through the ANSI code page and from there through the OEM code
// page is stored as OEM bytes; any other name, and every name with oemNever,
// is stored as UTF-8.
TEncodedName EncodeEntryName(const std::wstring& name, TOemConvert mode, const TNameCodePages& pages);

// Whether the relative path `a` comes before `b` in a folder walk that lists
// every folder in the order NTFS keeps its names (the upper-cased names'
// UTF-16 units, compared as numbers) and enters a subfolder where it is
// listed: the paths are compared component by component, a name before
// every longer name it begins. Both are given upper-cased, components
// separated by backslashes.
bool WalkedBefore(const std::wstring& a, const std::wstring& b);

// True when `name` matches the wildcard `pattern` ("*" any run, "?" one
// character; letter case of A-Z ignored).
bool WildcardMatch(const std::wstring& pattern, const std::wstring& name);

}  // namespace vantrel
