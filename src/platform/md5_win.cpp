#include "platform/file_io_win.h"
#include "platform/md5.h"

namespace vantrel {

void FileMD5InViews(const std::wstring& file_name, TMd5Digest& digest, std::uint32_t view_bytes) {
    TMd5Context context;
    Md5Init(context);
    // A file read only in part would give a digest that looks valid but is
    // wrong; it counts as unreadable instead.
    const bool whole = ReadFileContent(file_name, view_bytes, kMd5ReadBytes,
                                       [&context](const std::uint8_t* data, std::size_t length) {
                                           Md5Update(context, data, static_cast<std::uint32_t>(length));
                                       });
    if (!whole) Md5Init(context);
    Md5Final(context, digest);
}

void FileMD5(const std::wstring& file_name, TMd5Digest& digest) { FileMD5InViews(file_name, digest, kMd5ViewBytes); }

std::wstring FileMD5Hex(const std::wstring& file_name) {
    TMd5Digest digest;
    FileMD5(file_name, digest);
    return DigestToHex(digest);
}

}  // namespace vantrel
