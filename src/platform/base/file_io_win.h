// Plain file-system helpers over the Win32 calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace vantrel {

// True when a file (not a folder) exists at `path`.
bool FileExists(const std::wstring& path);
// True when a folder exists at `path` (with or without trailing backslash).
bool DirectoryExists(const std::wstring& path);
// Creates the folder with all missing parents; true when it exists afterwards.
bool ForceDirectories(const std::wstring& path);
// Writes `bytes` to `path`, creating or overwriting it; throws EToolError.
void SaveBytesToFile(const std::wstring& path, const std::string& bytes);
// Reads a whole file; throws EToolError when it cannot be opened or read.
std::string LoadFileBytes(const std::wstring& path);
// Receives successive pieces of a file's content.
using TContentSink = std::function<void(const std::uint8_t* data, std::size_t length)>;
// Passes the whole content of the file at `path` to `sink` in order: a file
// of up to `read_whole_bytes` is read into memory at once, a larger one goes
// through read-only mapped views of at most `view_bytes` (a multiple of
// 64 KiB). The file is opened with read and write sharing. False when it
// cannot be opened, is empty, or cannot be mapped or read to its end; `sink`
// may then have seen a part of it.
bool ReadFileContent(const std::wstring& path, std::uint32_t view_bytes, std::uint32_t read_whole_bytes,
                     const TContentSink& sink);
// ReadFileContent of a file already open for reading (`file` is a HANDLE),
// from its start.
bool ReadOpenFileContent(void* file, std::uint32_t view_bytes, std::uint32_t read_whole_bytes,
                         const TContentSink& sink);
// Copies what is left of the open file `source` to the open file `target`
// (both HANDLEs), from their current positions; false when a read or a write
// fails (`read_failed`, when given, tells which), the last error telling why.
bool CopyOpenFileContent(void* source, void* target, bool* read_failed = nullptr);
// Full path of the running executable.
std::wstring GetModulePath();
// Folder of the running executable, with its trailing backslash.
std::wstring GetModuleDir();
// GetFullPathNameW of `path`; the path unchanged when the call fails.
std::wstring FullPath(const std::wstring& path);

}  // namespace vantrel
