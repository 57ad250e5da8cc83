// The process and module inventory: gathers the running processes and the
// tool's own modules from the system and builds their texts (see
// process_format.h for the layout).
#pragma once

#include "platform/base/text.h"
#include "platform/base/win.h"
#include "report/process_format.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// Appends the 81-asterisk banner and then the whole process text as one
// further entry. Only running out of memory raises.
void AddProcesses(TStringList& lines);

// The process text: one line per process, then the virtual-memory, atom and
// desktop-heap lines. Raises nothing of its own; safe on any thread.
std::wstring GetProcessListText();

// The module text: one line per module of the tool's own address space.
// Raises nothing of its own; safe on any thread.
std::wstring GetModuleListText();

// Offers both texts to the crash reporter as "processes" and "modules"
// (start-up), and takes them back (program end).
void RegisterInventorySections();
void UnregisterInventorySections();

// ---- The gathering steps, each usable on its own ----

// The running processes in the system's order; empty when the system query
// fails. Enables the debug privilege once the query has succeeded.
std::vector<TProcessEntry> GatherProcesses();

// The Win32 path of an opened process (query access): its full image name,
// else its device path through the drive list, else its main module's file
// name; then its long form. Empty when none of the three gives a path.
std::wstring ProcessImagePath(HANDLE process);
// The second way alone: the process's device path as a drive path.
std::wstring ProcessImagePathFromDevice(HANDLE process);

// The long form of a path (GetLongPathNameW); the path itself when the call
// fails or the long form does not fit in 260 characters.
std::wstring LongPathForm(const std::wstring& path);

// "Virtual memory:" value, "GlobalAtomInfo:" value, "DesktopHeap:" value;
// each is "error" when building it raised.
std::wstring MemoryStatusText();
std::wstring AtomTableText();
std::wstring DesktopHeapText();

// The decimal separator of the thread locale, read once; "," when unknown.
wchar_t InventoryDecimalSeparator();

// The modules of the tool's own address space in address order.
std::vector<TModuleEntry> GatherModules();

// The version text of a module file: its fixed file version, else its
// string table's "FileVersion", else empty text.
std::wstring ModuleFileVersionText(const std::wstring& path);

// The CRC-32 of a file read through read-only views of at most 1 MiB; false
// when the file cannot be opened or mapped (so always for an empty file).
bool FileCrc32(const std::wstring& path, std::uint32_t& crc);

}  // namespace vantrel
