// The one home of the tool's opens of files and folders by name: every
// CreateFileW of the tool goes through OpenFileHandle, with the flag sets
// named here, so that what a run may open, and how, reads the same
// everywhere.
#pragma once

#include "platform/base/handles_win.h"

#include <string>

namespace vantrel {

// Sharing: what others may do with the object while the handle is open.
constexpr DWORD kShareNone = 0;
constexpr DWORD kShareRead = FILE_SHARE_READ;
constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Flags.
// A link (or other reparse point) at the last name is opened itself, never
// what it points to.
constexpr DWORD kOpenLinkItself = FILE_FLAG_OPEN_REPARSE_POINT;
// Folders open too.
constexpr DWORD kOpenFolders = FILE_FLAG_BACKUP_SEMANTICS;
// The entry at the name, folder or file, never followed.
constexpr DWORD kOpenEntryItself = kOpenLinkItself | kOpenFolders;
// Read once from start to end.
constexpr DWORD kSequential = FILE_FLAG_SEQUENTIAL_SCAN;

// Access.
// What checks of an entry need: its attributes, identity and owner.
constexpr DWORD kInspect = FILE_READ_ATTRIBUTES | READ_CONTROL;
// A folder that files are created in and renamed into, by handle.
constexpr DWORD kCreateInFolder = FILE_ADD_FILE | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// An entry removed through its handle.
constexpr DWORD kRemove = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

// CreateFileW of `path` with `access`, `share`, `disposition` and
// `flags_and_attributes`, no security attributes and no template; invalid
// when the open fails (the last error tells why).
ScopedFileHandle OpenFileHandle(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                                DWORD flags_and_attributes);

}  // namespace vantrel
