#include "zip/crc32.h"

#include <array>

namespace vantrel {

namespace {

// Eight tables for the slicing-by-8 loop: table 0 is the classic byte table,
// table k advances a byte k further positions.
using TCrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

TCrcTables MakeTables() {
    TCrcTables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        t[0][i] = c;
    }
    for (std::uint32_t i = 0; i < 256; ++i) {
        for (int k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    }
    return t;
}

const TCrcTables& Tables() {
    static const TCrcTables tables = MakeTables();
    return tables;
}

std::uint32_t LoadLe32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

void TCrc32::Update(const void* data, std::size_t size) {
    const TCrcTables& t = Tables();
    const auto* p = static_cast<const unsigned char*>(data);
    std::uint32_t c = register_;
    while (size >= 8) {
        std::uint32_t low = LoadLe32(p) ^ c;
        std::uint32_t high = LoadLe32(p + 4);
        c = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
            t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
        p += 8;
        size -= 8;
    }
    while (size-- > 0) c = (c >> 8) ^ t[0][(c ^ *p++) & 0xFF];
    register_ = c;
}

std::uint32_t Crc32Of(const void* data, std::size_t size) {
    TCrc32 crc;
    crc.Update(data, size);
    return crc.Value();
}

}  // namespace vantrel
