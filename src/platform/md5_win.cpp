#include "platform/handles_win.h"
#include "platform/md5.h"

namespace vantrel {

namespace {

// Length of the view that starts at `offset` of a file of `file_size` bytes;
// 0 at the end.
std::uint32_t ViewLength(std::uint64_t file_size, std::uint64_t offset, std::uint32_t view_bytes) {
    if (offset >= file_size) return 0;
    const std::uint64_t rest = file_size - offset;
    return rest < view_bytes ? static_cast<std::uint32_t>(rest) : view_bytes;
}

// Feeds the whole content of the file to `context` view by view. False when
// the file cannot be opened or mapped, or a view cannot be created: the
// content is then unknown.
bool DigestFileContent(const std::wstring& file_name, TMd5Context& context, std::uint32_t view_bytes) {
    ScopedFileHandle file(::CreateFileW(file_name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    // An empty file cannot be mapped: it stops here, with nothing fed.
    ScopedKernelHandle mapping(::CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) return false;

    DWORD high = 0;
    ::SetLastError(NO_ERROR);
    const DWORD low = ::GetFileSize(file.Get(), &high);
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return false;
    const std::uint64_t size = (static_cast<std::uint64_t>(high) << 32) | low;

    std::uint64_t offset = 0;
    while (const std::uint32_t length = ViewLength(size, offset, view_bytes)) {
        ScopedMappedView view(::MapViewOfFile(mapping.Get(), FILE_MAP_READ, static_cast<DWORD>(offset >> 32),
                                              static_cast<DWORD>(offset), length));
        if (!view) return false;
        Md5Update(context, view.Get(), length);
        offset += length;
    }
    return true;
}

}  // namespace

void FileMD5InViews(const std::wstring& file_name, TMd5Digest& digest, std::uint32_t view_bytes) {
    TMd5Context context;
    Md5Init(context);
    // A file read only in part would give a digest that looks valid but is
    // wrong; it counts as unreadable instead.
    if (!DigestFileContent(file_name, context, view_bytes)) Md5Init(context);
    Md5Final(context, digest);
}

void FileMD5(const std::wstring& file_name, TMd5Digest& digest) { FileMD5InViews(file_name, digest, kMd5ViewBytes); }

std::wstring FileMD5Hex(const std::wstring& file_name) {
    TMd5Digest digest;
    FileMD5(file_name, digest);
    return DigestToHex(digest);
}

}  // namespace vantrel
