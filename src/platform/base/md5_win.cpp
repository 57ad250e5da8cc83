#include "platform/base/file_io_win.h"
#include "platform/base/md5.h"

namespace vantrel {

namespace {

// The digest of what `read` passes on; a file read only in part would give a
// digest that looks valid but is wrong, so it counts as unreadable instead.
template <typename Read>
void DigestOf(Read read, TMd5Digest& digest) {
    TMd5Context context;
    Md5Init(context);
    const bool whole = read([&context](const std::uint8_t* data, std::size_t length) {
        Md5Update(context, data, static_cast<std::uint32_t>(length));
    });
    if (!whole) Md5Init(context);
    Md5Final(context, digest);
}

}  // namespace

void FileMD5InViews(const std::wstring& file_name, TMd5Digest& digest, std::uint32_t view_bytes) {
    DigestOf([&](const TContentSink& sink) { return ReadFileContent(file_name, view_bytes, kMd5ReadBytes, sink); },
             digest);
}

std::wstring OpenFileMD5Hex(void* file) {
    TMd5Digest digest;
    DigestOf([&](const TContentSink& sink) { return ReadOpenFileContent(file, kMd5ViewBytes, kMd5ReadBytes, sink); },
             digest);
    return DigestToHex(digest);
}

void FileMD5(const std::wstring& file_name, TMd5Digest& digest) { FileMD5InViews(file_name, digest, kMd5ViewBytes); }

std::wstring FileMD5Hex(const std::wstring& file_name) {
    TMd5Digest digest;
    FileMD5(file_name, digest);
    return DigestToHex(digest);
}

}  // namespace vantrel
