#include "platform/files/find_entries_win.h"

#include "platform/base/file_open_win.h"

namespace vantrel {

TFindEntries::TFindEntries(const std::wstring& pattern)
    : find_(AccessPermitted(TAccessKind::List, pattern) ? ::FindFirstFileW(pattern.c_str(), &first_)
                                                        : INVALID_HANDLE_VALUE),
      first_pending_(static_cast<bool>(find_)) {}

bool TFindEntries::Next(WIN32_FIND_DATAW& data) {
    if (first_pending_) {
        first_pending_ = false;
        data = first_;
        return true;
    }
    return find_ && ::FindNextFileW(find_.Get(), &data) != FALSE;
}

std::vector<WIN32_FIND_DATAW> FindEntries(const std::wstring& pattern) {
    std::vector<WIN32_FIND_DATAW> entries;
    TFindEntries find(pattern);
    WIN32_FIND_DATAW data;
    while (find.Next(data)) entries.push_back(data);
    return entries;
}

}  // namespace vantrel
