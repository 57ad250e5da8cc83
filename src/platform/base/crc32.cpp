#include "platform/base/crc32.h"

#include <zlib.h>

#include <algorithm>

namespace vantrel {

std::uint32_t Crc32Update(std::uint32_t crc, const void* data, std::size_t size) {
    // zlib's crc32 takes and gives the complemented register, as this does.
    const auto* p = static_cast<const Bytef*>(data);
    uLong value = crc;
    while (size > 0) {
        const auto piece = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        value = crc32(value, p, piece);
        p += piece;
        size -= piece;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace vantrel
