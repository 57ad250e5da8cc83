#include "zip/crc32.h"

#include <zlib.h>

#include <algorithm>

namespace vantrel {

void TCrc32::Update(const void* data, std::size_t size) {
    // zlib's crc32 keeps the complemented register between calls.
    const auto* p = static_cast<const Bytef*>(data);
    uLong value = ~register_;
    while (size > 0) {
        const auto piece = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        value = crc32(value, p, piece);
        p += piece;
        size -= piece;
    }
    register_ = ~static_cast<std::uint32_t>(value);
}

std::uint32_t Crc32Of(const void* data, std::size_t size) {
    TCrc32 crc;
    crc.Update(data, size);
    return crc.Value();
}

}  // namespace vantrel
