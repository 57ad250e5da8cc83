#include "platform/folders_win.h"

#include <shlobj.h>

namespace vantrel {

std::wstring GetSpecialFolder(HWND owner, int csidl) {
    wchar_t buffer[MAX_PATH + 1];
    buffer[0] = L'\0';
    if (!::SHGetSpecialFolderPathW(owner, buffer, csidl, FALSE)) return std::wstring();
    return std::wstring(buffer);
}

std::wstring GetTempDir() {
    wchar_t buffer[256] = {};
    DWORD n = ::GetTempPathW(255, buffer);
    if (n == 0 || n > 255) return std::wstring();
    return std::wstring(buffer, n);
}

std::wstring GetSystemDir() {
    wchar_t buffer[256] = {};
    UINT n = ::GetSystemDirectoryW(buffer, 255);
    if (n == 0 || n > 255) return std::wstring();
    return std::wstring(buffer, n);
}

}  // namespace vantrel
