// Texts of the process and module inventory: the aligned process lines with
// their memory, atom and desktop-heap summary, and the module lines. Pure
// code over plain records; the gatherers live in process_inventory_win.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// One running process.
struct TProcessEntry {
    std::wstring Name;    // file-name part of the image path
    std::wstring Folder;  // the image path before its last backslash; may be empty
    std::uint32_t ProcessId = 0;
    std::uint32_t SessionId = 0;
    std::int32_t PriorityClass = -1;  // -1: the process could not be opened
    std::int32_t GdiObjects = 0;
    std::int32_t UserObjects = 0;
    std::uint32_t HandleCount = 0;
    std::uint32_t ThreadCount = 0;
    std::uint32_t WorkingSetMB = 0;
    std::uint32_t PagefileMB = 0;
    // Milliseconds since the process was created. 64 bits wide, so that a
    // process running longer than 49.7 days shows its true run time.
    std::uint64_t RunTimeMs = 0;
};

// One module of the tool's own address space.
struct TModuleEntry {
    std::uint64_t Base = 0;
    std::wstring Name;
    std::wstring Folder;
    std::wstring Details;  // version text, then ",$" and the file's CRC-32 where there is one
};

// The figures behind the "Virtual memory:" line, in bytes.
struct TMemoryFigures {
    std::uint64_t AvailVirtual = 0;
    std::uint64_t TotalVirtual = 0;
    std::uint64_t AvailPageFile = 0;
    std::uint64_t TotalPageFile = 0;
    std::uint64_t DiskFree = 0;   // total free bytes of the Windows volume
    std::uint64_t DiskTotal = 0;  // total bytes of that volume
};

// The run time: "250 ms", "7.05 s", "12:07 min", "26:15 h".
std::wstring FormatRunTime(std::uint64_t ms, wchar_t decimal_separator);

// A byte count: "1023 Bytes", "1.50 KB", "1.00 MB", "12.34 GB"; every step
// truncates.
std::wstring FormatByteSize(std::uint64_t bytes, wchar_t decimal_separator);

// The priority class: "normal", "idle", ... , empty for 0 and -1, "$" and
// lower-case hexadecimal for any other value.
std::wstring PriorityClassText(std::int32_t priority_class);

// The counters column of one process: handles, threads, working set, page
// file, priority and run time.
std::wstring ProcessCountersText(const TProcessEntry& entry, wchar_t decimal_separator);

// The process lines in two passes (column widths, then lines), joined with
// CR LF, none before the first or after the last.
std::wstring FormatProcessLines(const std::vector<TProcessEntry>& entries, wchar_t decimal_separator);

// The whole process text: the process lines, an empty line, then the
// "Virtual memory:", "GlobalAtomInfo:" and "DesktopHeap:" lines, each ending
// with CR LF.
std::wstring ComposeProcessText(const std::wstring& process_lines, const std::wstring& memory_text,
                                const std::wstring& atom_text, const std::wstring& desktop_heap_text);

// Bytes to whole MiB, rounded to the nearest.
std::uint64_t RoundToMiB(std::uint64_t bytes);

// "1830/2047 MB(free/total), PageSize:5120/8190 MB(free/total), SysDrv:12.34 GB/111.69 GB".
std::wstring FormatMemoryText(const TMemoryFigures& figures, wchar_t decimal_separator);

// Counts the names of the global atom table and of the registered window
// messages and clipboard formats, and groups all of them by their first six
// characters (letter case significant).
class TAtomCensus {
public:
    void AddGlobalAtom(const std::wstring& name);
    void AddRegisteredName(const std::wstring& name);
    // "Atom:412, RWM:388, Max(52):ControlOfs00400000, Max(40):WM_HTML_GETOBJECT";
    // the two largest groups, the one created first winning a tie.
    std::wstring Text() const;

private:
    struct TGroup {
        std::wstring Key;
        std::wstring Name;
        std::size_t Count;
    };
    void AddToGroup(const std::wstring& name);
    std::size_t global_count_ = 0;
    std::size_t registered_count_ = 0;
    std::vector<TGroup> groups_;
};

// Replaces a leading "\SystemRoot\System32\" (any letter case) by the system
// folder, or removes a leading "\??\" (letter case significant).
std::wstring RewriteNativeImagePath(const std::wstring& path, const std::wstring& system_dir);

// One drive of the system and its device name (for example C: and
// \Device\HarddiskVolume1).
struct TDosDevice {
    std::wstring Drive;
    std::wstring DeviceName;
};

// A device path as a drive path through the first drive whose device name
// starts it, followed by a backslash or nothing; empty when no drive matches.
std::wstring DevicePathToDrivePath(const std::wstring& device_path, const std::vector<TDosDevice>& devices);

// What a module file's version resource holds, as far as the version text
// needs it.
struct TModuleVersionFacts {
    bool HasFixedInfo = false;
    std::uint32_t FileVersionMS = 0;
    std::uint32_t FileVersionLS = 0;
    bool HasTranslation = false;
    std::wstring StringFileVersion;  // "FileVersion" of the first translation's string table
};

// The fixed file version when it is not 0.0.0.0, else the string table's
// "FileVersion" trimmed of codes 0 to 32 when there is a translation, else
// empty text.
std::wstring ModuleVersionText(const TModuleVersionFacts& facts);

// The string-table path of "FileVersion" for a translation entry (language
// in the low word as stored): "\StringFileInfo\040904e4\FileVersion".
std::wstring ModuleFileVersionKey(std::uint16_t language, std::uint16_t code_page);

// A module's Details: the version text, then "," "$" and the CRC-32 as 8
// lower-case hexadecimal digits when `has_crc`.
std::wstring ModuleDetails(const std::wstring& version_text, bool has_crc, std::uint32_t crc);

// True when a module at `path` gets a checksum: it lies outside the Windows
// folder (letter case ignored).
bool IsOutsideWindowsFolder(const std::wstring& path, const std::wstring& windows_dir);

// The module lines: base address as 8 hexadecimal digits, name, details and
// folder in columns, joined with CR LF, none after the last.
std::wstring FormatModuleLines(const std::vector<TModuleEntry>& entries);

}  // namespace vantrel
