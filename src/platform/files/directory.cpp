#include "platform/files/directory.h"

namespace vantrel {

void WalkFiles(const std::wstring& folder, TStringList& list, const TDirectoryLister& lister) {
    if (folder.empty()) return;
    const std::wstring base = IncludeTrailingBackslash(folder);
    for (const TDirEntry& entry : lister(base)) {
        if (entry.Name == L"." || entry.Name == L"..") continue;
        if (entry.IsLink) continue;
        if (!entry.IsFolder) {
            list.push_back(base + entry.Name);
        } else if (entry.Name != L".svn") {
            WalkFiles(base + entry.Name, list, lister);
        }
    }
}

}  // namespace vantrel
