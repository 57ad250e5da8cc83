// The folder walker of the zip writer.
#pragma once

#include "platform/base/win.h"
#include "platform/files/directory_win.h"
#include "platform/files/find_entries_win.h"

#include <string>
#include <vector>

namespace vantrel {

// Walks a folder depth first in the order the file system lists it: a
// subfolder is entered when it is met in its parent's listing. Entries
// carrying the hidden or system attribute are passed over unless
// `attributes` holds that attribute too (a passed-over folder is not
// entered); "." and ".." are passed over, and so is every reparse point,
// file or folder, which is neither entered nor returned. Files must match
// `pattern`.
class TDirSearch {
public:
    TDirSearch(const std::wstring& folder, DWORD attributes, bool recurse, const std::wstring& pattern);

    // The next path: a folder with a trailing backslash or a file; the empty
    // string when the walk is done.
    std::wstring Next();
    // The attributes of the entry Next returned last.
    DWORD LastAttributes() const { return last_attributes_; }

private:
    struct TLevel {
        std::wstring Folder;  // with a trailing backslash
        TFindEntries Find;
    };
    void Enter(const std::wstring& folder);

    DWORD attributes_;
    bool recurse_;
    std::wstring pattern_;
    std::vector<TLevel> stack_;
    DWORD last_attributes_ = 0;
};

}  // namespace vantrel
