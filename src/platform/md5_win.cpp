#include "platform/handles_win.h"
#include "platform/md5.h"

#include <vector>

namespace vantrel {

namespace {

// Length of the view that starts at `offset` of a file of `file_size` bytes;
// 0 at the end.
std::uint32_t ViewLength(std::uint64_t file_size, std::uint64_t offset, std::uint32_t view_bytes) {
    if (offset >= file_size) return 0;
    const std::uint64_t rest = file_size - offset;
    return rest < view_bytes ? static_cast<std::uint32_t>(rest) : view_bytes;
}

// Reads a small file whole into a buffer of its size and digests it.
bool DigestByReading(HANDLE file, std::uint32_t size, TMd5Context& context) {
    std::vector<std::uint8_t> buffer(size);
    std::uint32_t done = 0;
    while (done < size) {
        DWORD got = 0;
        if (!::ReadFile(file, buffer.data() + done, size - done, &got, nullptr)) return false;
        if (got == 0) break;
        done += got;
    }
    Md5Update(context, buffer.data(), done);
    return true;
}

// Digests the file through successive read-only views of at most
// `view_bytes`. An empty file cannot be mapped and gives false.
bool DigestThroughViews(HANDLE file, std::uint64_t size, TMd5Context& context, std::uint32_t view_bytes) {
    ScopedKernelHandle mapping(::CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) return false;
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

// Feeds the whole content of the file to `context`. False when the file
// cannot be opened, mapped or read to its end: the content is then unknown.
bool DigestFileContent(const std::wstring& file_name, TMd5Context& context, std::uint32_t view_bytes) {
    ScopedFileHandle file(::CreateFileW(file_name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    DWORD high = 0;
    ::SetLastError(NO_ERROR);
    const DWORD low = ::GetFileSize(file.Get(), &high);
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return false;
    const std::uint64_t size = (static_cast<std::uint64_t>(high) << 32) | low;
    if (size == 0) return false;
    if (size <= kMd5ReadBytes) return DigestByReading(file.Get(), static_cast<std::uint32_t>(size), context);
    return DigestThroughViews(file.Get(), size, context, view_bytes);
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
