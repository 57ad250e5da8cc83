// Checks made on an open handle, so that what is checked is what is then
// read, written or deleted: whether the handle is a link (precise reparse
// tags), where on which volume the object really lies (links resolved),
// whether its owner is the system or the administrators, and how many names
// it has. Functions Windows 2000 lacks are not needed here; the native
// calls are looked up at run time.
#pragma once

#include "platform/base/handles_win.h"

#include <string>

namespace vantrel {

// Where a file or folder lies: its volume's serial number and its path
// below the volume root as the file system resolved it (links followed).
struct TFileLocation {
    DWORD Volume = 0;
    std::wstring Path;  // "\dir\name"; "\" for a volume root
};

// The location of the object behind `handle`; false when it cannot be read.
bool LocationOf(HANDLE handle, TFileLocation& location);
// LocationOf for a handle whose information the caller has just read.
bool LocationOf(HANDLE handle, const BY_HANDLE_FILE_INFORMATION& info, TFileLocation& location);
// The location of the entry `name` inside the folder at `folder`.
TFileLocation ChildLocation(const TFileLocation& folder, const std::wstring& name);
// True for the same volume (a serial number of 0 matches any, as in
// SameFile) and the same path, letter case ignored as the system ignores it.
bool SameLocation(const TFileLocation& a, const TFileLocation& b);

// Which object a handle is: volume serial number and file index.
struct TFileId {
    DWORD Volume = 0;
    DWORD High = 0;
    DWORD Low = 0;
};
bool FileIdOf(HANDLE handle, TFileId& id);
// The same, from information the caller has just read for a handle.
TFileId FileIdOf(const BY_HANDLE_FILE_INFORMATION& info);
// True for the same volume and index; a volume serial number of 0, which
// the system gives when it cannot tell one, matches any.
bool SameFile(const TFileId& a, const TFileId& b);

// True when the object behind `handle` (opened with
// FILE_FLAG_OPEN_REPARSE_POINT) is a link by IsLinkReparseTag; `attributes`
// are its attributes as the handle reports them.
bool IsLinkHandle(HANDLE handle, DWORD attributes);
// True when a folder listing's entry at `path` is a link: its reparse tag
// from the listing, and for a mount point its target read from the entry.
bool IsLinkEntry(const WIN32_FIND_DATAW& entry, const std::wstring& path);
// IsLinkEntry for the entry at `path` itself (no wildcard); false when
// nothing is there.
bool IsLinkPath(const std::wstring& path);

// True when the owner of the object behind `handle` (opened with
// READ_CONTROL) is the local system, the administrators or the installer
// service: nothing an unelevated user can create or take over.
bool IsOwnedBySystemOrAdministrators(HANDLE handle);

// Opens `path` without following a link at its last component
// (FILE_FLAG_OPEN_REPARSE_POINT, FILE_FLAG_BACKUP_SEMANTICS so that folders
// open too), with `access` and read, write and delete sharing.
ScopedFileHandle OpenNoFollow(const std::wstring& path, DWORD access);

// The handle to read `entry`'s content with. `entry` was opened at `path`
// with kOpenLinkItself, so a reparse point came as itself; one that is no
// link (a cloud placeholder, a deduplicated or compressed file) keeps its
// content behind its filter, so it is opened again through the filter with
// `access` and `share`, and kept only when that is the same file. Any other
// entry is returned as it is. Invalid when the reopened file is another.
ScopedFileHandle ContentHandle(ScopedFileHandle entry, const BY_HANDLE_FILE_INFORMATION& info, const std::wstring& path,
                               DWORD access, DWORD share);

// An entry opened for use and checked on its handle.
struct TCheckedEntry {
    ScopedFileHandle Handle;
    BY_HANDLE_FILE_INFORMATION Info = {};
};

// Opens `path` with OpenNoFollow and keeps it only when the handle is no
// link and lies exactly at `expected`; an invalid handle otherwise.
TCheckedEntry OpenCheckedEntry(const std::wstring& path, const TFileLocation& expected, DWORD access);

// Marks the object behind `handle` (opened with DELETE) for deletion when
// its last handle closes; the read-only attribute is cleared first (the
// handle needs FILE_WRITE_ATTRIBUTES for that). Removes a link itself when
// the handle is the link's own. True when the mark was set.
bool DeleteThroughHandle(HANDLE handle, DWORD attributes);

}  // namespace vantrel
