// Plain file-system helpers over the Win32 calls.
#pragma once

#include <string>

namespace vantrel {

// True when a file (not a folder) exists at `path`.
bool FileExists(const std::wstring& path);
// True when a folder exists at `path` (with or without trailing backslash).
bool DirectoryExists(const std::wstring& path);
// True when the file or folder at `path` is a reparse point (a junction,
// a symbolic link or a mount point); false when it is not or does not exist.
bool IsReparsePoint(const std::wstring& path);
// True when `path` or any existing folder on the way to it is a reparse
// point, so that opening it would lead somewhere other than it says.
bool PathCrossesReparsePoint(const std::wstring& path);
// Creates the folder with all missing parents; true when it exists afterwards.
bool ForceDirectories(const std::wstring& path);
// Writes `bytes` to `path`, creating or overwriting it; throws EToolError.
void SaveBytesToFile(const std::wstring& path, const std::string& bytes);
// Reads a whole file; throws EToolError when it cannot be opened or read.
std::string LoadFileBytes(const std::wstring& path);
// Full path of the running executable.
std::wstring GetModulePath();
// Folder of the running executable, with its trailing backslash.
std::wstring GetModuleDir();
// GetFullPathNameW of `path`; the path unchanged when the call fails.
std::wstring FullPath(const std::wstring& path);

}  // namespace vantrel
