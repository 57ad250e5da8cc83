#include "platform/files/safe_paths.h"

#include "platform/base/text.h"

namespace vantrel {

namespace {

const wchar_t kExtendedPrefix[] = L"\\\\?\\";
const wchar_t kExtendedUncPrefix[] = L"\\\\?\\UNC\\";

bool IsHexDigit(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'); }

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool IsForbiddenNameCharacter(wchar_t c) {
    if (c < 32) return true;
    switch (c) {
        case L':':
        case L'/':
        case L'*':
        case L'?':
        case L'"':
        case L'<':
        case L'>':
        case L'|': return true;
        default: return false;
    }
}

}  // namespace

bool IsVolumeRootTarget(const std::wstring& target) {
    // \??\Volume{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}\ is 49 characters.
    static const wchar_t kHead[] = L"\\??\\Volume{";
    const std::wstring head = kHead;
    if (target.size() != head.size() + 36 + 2 || target.compare(0, head.size(), head) != 0) return false;
    for (std::size_t i = 0; i < 36; ++i) {
        const wchar_t c = target[head.size() + i];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != L'-' : !IsHexDigit(c)) return false;
    }
    return target.compare(head.size() + 36, 2, L"}\\") == 0;
}

bool IsLinkReparseTag(std::uint32_t tag, const std::wstring& mount_target) {
    if (tag == kReparseTagSymlink || tag == 0) return true;
    if (tag == kReparseTagMountPoint) return !IsVolumeRootTarget(mount_target);
    return false;
}

std::wstring ExtendedLengthPath(const std::wstring& full_path) {
    if (StartsWith(full_path, kExtendedPrefix)) return full_path;
    if (full_path.size() >= 3 && IsDriveLetter(full_path[0]) && full_path[1] == L':' && full_path[2] == L'\\') {
        return kExtendedPrefix + full_path;
    }
    if (full_path.size() > 2 && full_path[0] == L'\\' && full_path[1] == L'\\' && full_path[2] != L'?' &&
        full_path[2] != L'.') {
        return kExtendedUncPrefix + full_path.substr(2);
    }
    return full_path;
}

std::wstring FolderPathToOpen(const std::wstring& full_path) {
    const std::wstring plain = WithoutExtendedPrefix(full_path);
    if (plain.empty() || plain.back() != L'\\') return full_path;
    if (plain.size() == 3 && plain[1] == L':') return full_path;  // "C:\"
    if (StartsWith(plain, L"\\\\")) {
        // "\\server\share\": the backslash after the share's name is its root's.
        const std::size_t server_end = plain.find(L'\\', 2);
        if (server_end != std::wstring::npos && plain.find(L'\\', server_end + 1) == plain.size() - 1) {
            return full_path;
        }
    }
    return full_path.substr(0, full_path.size() - 1);
}

std::wstring WithoutExtendedPrefix(const std::wstring& path) {
    if (StartsWith(path, kExtendedUncPrefix)) return L"\\\\" + path.substr(8);
    if (StartsWith(path, kExtendedPrefix)) return path.substr(4);
    return path;
}

bool IsPlainRelativePath(const std::wstring& relative) {
    if (relative.empty()) return false;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = relative.find(L'\\', start);
        const std::wstring name = relative.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (name.empty() || name == L"." || name == L"..") return false;
        for (wchar_t c : name) {
            if (IsForbiddenNameCharacter(c)) return false;
        }
        if (end == std::wstring::npos) return true;
        start = end + 1;
    }
}

}  // namespace vantrel
