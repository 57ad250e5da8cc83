#include "platform/files/collected_file_win.h"

#include "platform/base/text_win.h"

#include <utility>

namespace vantrel {

DWORD CopiedAttributes(DWORD attributes) {
    const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                       FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    return (attributes & kept) | FILE_ATTRIBUTE_ARCHIVE;
}

void TakeFileFacts(TCollectedFile& file, const BY_HANDLE_FILE_INFORMATION& info) {
    file.Attributes = CopiedAttributes(info.dwFileAttributes);
    file.LastWrite = info.ftLastWriteTime;
    file.Size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

void TCollected::Add(TCollectedFile file) {
    const auto found = by_name_.emplace(UpperCaseText(file.Name), files_.size());
    if (!found.second) {
        files_[found.first->second] = std::move(file);
        return;
    }
    files_.push_back(std::move(file));
}

void TCollected::Clear() {
    files_.clear();
    by_name_.clear();
}

}  // namespace vantrel
