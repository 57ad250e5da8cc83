#include "platform/directory_win.h"

#include "platform/handles_win.h"

#include <shellapi.h>

namespace vantrel {

std::vector<TDirEntry> ListDirectory(const std::wstring& folder) {
    std::vector<TDirEntry> entries;
    WIN32_FIND_DATAW data;
    ScopedFindHandle find(::FindFirstFileW((folder + L"*.*").c_str(), &data));
    if (!find) return entries;
    do {
        TDirEntry entry;
        entry.Name = data.cFileName;
        entry.IsFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.IsReparsePoint = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entries.push_back(std::move(entry));
    } while (::FindNextFileW(find.Get(), &data));
    return entries;
}

void ListFilesRecursive(const std::wstring& folder, TStringList& list) { WalkFiles(folder, list, ListDirectory); }

bool DeleteDirTree(const std::wstring& path) {
    std::wstring from = ExcludeTrailingBackslash(path);
    from.push_back(L'\0');  // the list ends with two NULs; c_str() adds the second
    SHFILEOPSTRUCTW op = {};
    op.hwnd = nullptr;
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.pTo = L"";
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
    return ::SHFileOperationW(&op) == 0;
}

}  // namespace vantrel
