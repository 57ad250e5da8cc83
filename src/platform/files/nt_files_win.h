// File operations on handles through the native interface, which Windows
// has had since before Windows 2000: the name of an open file, deletion and
// attributes set through a handle, and creating and renaming relative to an
// open folder, so that no path is looked up a second time. Each call is
// looked up in ntdll.dll at run time and reports failure when missing; a
// failure leaves its Windows error as the thread's last error, as a failed
// Windows call does.
#pragma once

#include "platform/base/handles_win.h"

#include <string>

namespace vantrel {

// The path of the open file below its volume's root, as the file system
// resolved it ("\dir\name").
bool NativeFileName(HANDLE file, std::wstring& name);

// Marks the file or folder for deletion when its last handle closes (the
// handle needs DELETE).
bool NativeDeleteOnClose(HANDLE file);

// Sets the attributes of the open file (the handle needs
// FILE_WRITE_ATTRIBUTES); its times stay.
bool NativeSetAttributes(HANDLE file, DWORD attributes);

enum class TNativeDisposition {
    CreateNew,     // fails when anything, a link included, has the name
    OpenExisting,  // fails when nothing has it
};

// Opens or creates the file `name` inside the open `folder` (which needs
// FILE_ADD_FILE to create, FILE_TRAVERSE to open) with `access` (and
// SYNCHRONIZE) and `share`. A link at the name is opened itself, never
// followed; a folder is not opened.
ScopedFileHandle NativeOpenFileIn(HANDLE folder, const std::wstring& name, DWORD access, DWORD share,
                                  TNativeDisposition disposition, DWORD attributes = FILE_ATTRIBUTE_NORMAL);

// Creates the file `name` new inside the open `folder`. The handle has
// GENERIC_WRITE, DELETE and SYNCHRONIZE and no sharing.
ScopedFileHandle NativeCreateNewFileIn(HANDLE folder, const std::wstring& name, DWORD attributes);

// Renames the open `file` (opened with DELETE) to `name` inside the open
// `folder`; with `replace`, whatever has that name, a link itself and not
// what it points to, is replaced.
bool NativeRenameInto(HANDLE file, HANDLE folder, const std::wstring& name, bool replace);

}  // namespace vantrel
