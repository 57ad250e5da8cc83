// Folder listings: the one loop over FindFirstFileW and FindNextFileW.
#pragma once

#include "platform/base/handles_win.h"

#include <string>
#include <vector>

namespace vantrel {

// The entries that match a search pattern (a folder + "*", a wildcard or a
// single name), one at a time in the file system's order, "." and ".."
// included where they match; none when nothing matches or the folder cannot
// be read. The one loop over FindFirstFileW and FindNextFileW.
class TFindEntries {
public:
    explicit TFindEntries(const std::wstring& pattern);
    // The next entry into `data`; false when there is none left.
    bool Next(WIN32_FIND_DATAW& data);

private:
    ScopedFindHandle find_;
    WIN32_FIND_DATAW first_;
    bool first_pending_;
};

// Every entry TFindEntries gives for `pattern`.
std::vector<WIN32_FIND_DATAW> FindEntries(const std::wstring& pattern);

}  // namespace vantrel
