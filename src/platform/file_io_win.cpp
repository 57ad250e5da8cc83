#include "platform/file_io_win.h"

#include "platform/errors.h"
#include "platform/handles_win.h"
#include "platform/text.h"

#include <algorithm>
#include <vector>

namespace vantrel {

bool FileExists(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsReparsePoint(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(ExcludeTrailingBackslash(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool PathCrossesReparsePoint(const std::wstring& path) {
    std::wstring rest = ExcludeTrailingBackslash(path);
    // Walk up from the path itself; a drive root ("C:") ends the walk.
    while (!rest.empty() && rest.back() != L':') {
        if (IsReparsePoint(rest)) return true;
        std::wstring parent = ExcludeTrailingBackslash(ExtractFilePath(rest));
        if (parent == rest) break;
        rest = parent;
    }
    return false;
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
    ::CreateDirectoryW(dir.c_str(), nullptr);
    return DirectoryExists(dir);
}

void SaveBytesToFile(const std::wstring& path, const std::string& bytes) {
    ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw EToolError("Cannot create file " + EncodeUtf8(path));
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr) || written != chunk) {
            throw EToolError("Cannot write file " + EncodeUtf8(path));
        }
        done += written;
    }
}

std::string LoadFileBytes(const std::wstring& path) {
    ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw EToolError("Cannot open file " + EncodeUtf8(path));
    std::string bytes;
    std::vector<char> buffer(1 << 16);
    while (true) {
        DWORD got = 0;
        if (!::ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            throw EToolError("Cannot read file " + EncodeUtf8(path));
        }
        if (got == 0) break;
        bytes.append(buffer.data(), got);
    }
    return bytes;
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
