#include "platform/crc32.h"

#include <array>

namespace vantrel {

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

// Slicing by eight: table k holds the CRC of a byte followed by k zero bytes.
using TCrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr TCrcTables MakeTables() {
    TCrcTables tables{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1u) ? (c >> 1) ^ kPolynomial : c >> 1;
        tables[0][n] = c;
    }
    for (std::uint32_t n = 0; n < 256; ++n) {
        for (std::size_t k = 1; k < tables.size(); ++k) {
            std::uint32_t prev = tables[k - 1][n];
            tables[k][n] = (prev >> 8) ^ tables[0][prev & 0xFFu];
        }
    }
    return tables;
}

constexpr TCrcTables kTables = MakeTables();

std::uint32_t Load32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

std::uint32_t Crc32Update(std::uint32_t crc, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    std::uint32_t c = ~crc;
    while (size >= 8) {
        std::uint32_t low = Load32(p) ^ c;
        std::uint32_t high = Load32(p + 4);
        c = kTables[7][low & 0xFFu] ^ kTables[6][(low >> 8) & 0xFFu] ^ kTables[5][(low >> 16) & 0xFFu] ^
            kTables[4][low >> 24] ^ kTables[3][high & 0xFFu] ^ kTables[2][(high >> 8) & 0xFFu] ^
            kTables[1][(high >> 16) & 0xFFu] ^ kTables[0][high >> 24];
        p += 8;
        size -= 8;
    }
    while (size-- > 0) c = (c >> 8) ^ kTables[0][(c ^ *p++) & 0xFFu];
    return ~c;
}

}  // namespace vantrel
