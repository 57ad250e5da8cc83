#include "platform/base/file_io_win.h"

#include "platform/base/errors.h"
#include "platform/base/file_open_win.h"
#include "platform/base/handles_win.h"
#include "platform/base/text.h"

#include <algorithm>
#include <vector>

namespace vantrel {

bool FileExists(const std::wstring& path) {
    DWORD attributes = FileAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::wstring& path) {
    DWORD attributes = FileAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool ForceDirectories(const std::wstring& path) {
    std::wstring dir = ExcludeTrailingBackslash(path);
    if (dir.empty()) return false;
    if (DirectoryExists(dir)) return true;
    std::wstring parent = ExcludeTrailingBackslash(ExtractFilePath(dir));
    // Stop at a drive ("C:") or a share root; the parent must exist already there.
    if (!parent.empty() && parent != dir && parent.back() != L':' && !DirectoryExists(parent)) {
        if (!ForceDirectories(parent)) return false;
    }
    CreateFolder(dir);
    return DirectoryExists(dir);
}

void SaveBytesToFile(const std::wstring& path, const std::string& bytes) {
    ScopedFileHandle file = OpenFileHandle(path, GENERIC_WRITE, kShareRead, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    if (!file) throw EToolError("Cannot create file " + EncodeUtf8(path), ::GetLastError());
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr) || written != chunk) {
            throw EToolError("Cannot write file " + EncodeUtf8(path), ::GetLastError());
        }
        done += written;
    }
}

std::string LoadFileBytes(const std::wstring& path) {
    ScopedFileHandle file = OpenFileHandle(path, GENERIC_READ, kShareReadWrite, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (!file) throw EToolError("Cannot open file " + EncodeUtf8(path), ::GetLastError());
    std::string bytes;
    std::vector<char> buffer(1 << 16);
    while (true) {
        DWORD got = 0;
        if (!::ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            throw EToolError("Cannot read file " + EncodeUtf8(path), ::GetLastError());
        }
        if (got == 0) break;
        bytes.append(buffer.data(), got);
    }
    return bytes;
}

namespace {

// Reads a small file whole into a buffer of its size.
bool ReadWhole(HANDLE file, std::uint32_t size, const TContentSink& sink) {
    std::vector<std::uint8_t> buffer(size);
    std::uint32_t done = 0;
    while (done < size) {
        DWORD got = 0;
        if (!::ReadFile(file, buffer.data() + done, size - done, &got, nullptr)) return false;
        if (got == 0) break;
        done += got;
    }
    sink(buffer.data(), done);
    return true;
}

// Length of the view that starts at `offset` of a file of `file_size` bytes;
// 0 at the end.
std::uint32_t ViewLength(std::uint64_t file_size, std::uint64_t offset, std::uint32_t view_bytes) {
    if (offset >= file_size) return 0;
    const std::uint64_t rest = file_size - offset;
    return rest < view_bytes ? static_cast<std::uint32_t>(rest) : view_bytes;
}

// An empty file cannot be mapped and gives false.
bool ReadThroughViews(HANDLE file, std::uint64_t size, std::uint32_t view_bytes, const TContentSink& sink) {
    ScopedKernelHandle mapping(::CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) return false;
    std::uint64_t offset = 0;
    while (const std::uint32_t length = ViewLength(size, offset, view_bytes)) {
        ScopedMappedView view(::MapViewOfFile(mapping.Get(), FILE_MAP_READ, static_cast<DWORD>(offset >> 32),
                                              static_cast<DWORD>(offset), length));
        if (!view) return false;
        sink(static_cast<const std::uint8_t*>(view.Get()), length);
        offset += length;
    }
    return true;
}

}  // namespace

bool ReadFileContent(const std::wstring& path, std::uint32_t view_bytes, std::uint32_t read_whole_bytes,
                     const TContentSink& sink) {
    ScopedFileHandle file =
        OpenFileHandle(path, GENERIC_READ, kShareReadWrite, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | kSequential);
    return file && ReadOpenFileContent(file.Get(), view_bytes, read_whole_bytes, sink);
}

bool ReadOpenFileContent(void* handle, std::uint32_t view_bytes, std::uint32_t read_whole_bytes,
                         const TContentSink& sink) {
    const HANDLE file = static_cast<HANDLE>(handle);
    LARGE_INTEGER start = {};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
    DWORD high = 0;
    ::SetLastError(NO_ERROR);
    const DWORD low = ::GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return false;
    const std::uint64_t size = (static_cast<std::uint64_t>(high) << 32) | low;
    if (size == 0) return false;
    if (size <= read_whole_bytes) return ReadWhole(file, static_cast<std::uint32_t>(size), sink);
    return ReadThroughViews(file, size, view_bytes, sink);
}

bool CopyOpenFileContent(void* source, void* target, bool* read_failed) {
    std::vector<char> buffer(1 << 16);
    if (read_failed != nullptr) *read_failed = false;
    while (true) {
        DWORD got = 0;
        if (!::ReadFile(static_cast<HANDLE>(source), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            if (read_failed != nullptr) *read_failed = true;
            return false;
        }
        if (got == 0) return true;
        DWORD written = 0;
        if (!::WriteFile(static_cast<HANDLE>(target), buffer.data(), got, &written, nullptr) || written != got) {
            return false;
        }
    }
}

std::wstring GetModulePath() {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    while (true) {
        DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return std::wstring();
        if (n < buffer.size() - 1) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring GetModuleDir() { return ExtractFilePath(GetModulePath()); }

std::wstring FullPath(const std::wstring& path) {
    if (path.empty()) return path;
    DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return path;
    std::vector<wchar_t> buffer(needed + 1);
    DWORD n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (n == 0 || n >= buffer.size()) return path;
    return std::wstring(buffer.data(), n);
}

}  // namespace vantrel
