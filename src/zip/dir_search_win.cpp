#include "zip/dir_search_win.h"

#include "platform/base/text.h"
#include "platform/files/links_win.h"
#include "zip/zip_names.h"

namespace vantrel {

TDirSearch::TDirSearch(const std::wstring& folder, DWORD attributes, bool recurse, const std::wstring& pattern)
    : attributes_(attributes), recurse_(recurse), pattern_(pattern) {
    Enter(IncludeTrailingBackslash(folder));
}

void TDirSearch::Enter(const std::wstring& folder) { stack_.push_back(TLevel{folder, TFindEntries(folder + L"*")}); }

std::wstring TDirSearch::Next() {
    const DWORD passed_over = (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) & ~attributes_;
    while (!stack_.empty()) {
        TLevel& top = stack_.back();
        WIN32_FIND_DATAW data;
        if (!top.Find.Next(data)) {
            stack_.pop_back();
            continue;
        }
        const std::wstring name = data.cFileName;
        const DWORD attributes = data.dwFileAttributes;
        if (name == L"." || name == L".." || (attributes & passed_over) != 0) continue;
        // Nothing in the folder being packed is reached through a link: a
        // link there is neither entered nor packed. Other reparse points (a
        // cloud placeholder, a deduplicated or compressed file) are ordinary
        // files and folders.
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsLinkEntry(data, top.Folder + name)) continue;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            std::wstring folder = top.Folder + name + L"\\";
            if (recurse_) Enter(folder);  // invalidates `top`
            last_attributes_ = attributes;
            return folder;
        }
        if (!WildcardMatch(pattern_, name)) continue;
        last_attributes_ = attributes;
        return top.Folder + name;
    }
    return std::wstring();
}

}  // namespace vantrel
