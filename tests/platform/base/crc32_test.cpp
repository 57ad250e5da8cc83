#include "platform/base/crc32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace vantrel {
namespace {

std::uint32_t Crc(const std::string& bytes) { return Crc32Update(kCrc32Initial, bytes.data(), bytes.size()); }

// One bit at a time, straight from the definition.
std::uint32_t BitwiseCrc(const std::string& bytes) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        c ^= b;
        for (int i = 0; i < 8; ++i) c = (c & 1u) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    }
    return ~c;
}

TEST(Crc32, KnownValues) {
    struct Case {
        std::string input;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"", 0x00000000u},
        {"a", 0xE8B7BE43u},
        {"123456789", 0xCBF43926u},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
        {std::string(4, '\0'), 0x2144DF1Cu},
        {std::string(32, '\xFF'), 0xFF6CAB0Bu},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(Crc(c.input), c.expected);
    }
}

TEST(Crc32, PiecesAtAnySplitAndAlignmentGiveTheWholeResult) {
    std::string data;
    for (int i = 0; i < 1031; ++i) data.push_back(static_cast<char>((i * 131 + 7) & 0xFF));
    const std::uint32_t whole = BitwiseCrc(data);
    ASSERT_EQ(Crc(data), whole);
    for (std::size_t split = 0; split <= 13; ++split) {
        for (std::size_t second = split; second <= split + 9 && second <= data.size(); ++second) {
            std::uint32_t c = Crc32Update(kCrc32Initial, data.data(), split);
            c = Crc32Update(c, data.data() + split, second - split);
            c = Crc32Update(c, data.data() + second, data.size() - second);
            EXPECT_EQ(c, whole) << split << "/" << second;
        }
    }
    // an unaligned start address
    std::string shifted = "x" + data;
    EXPECT_EQ(Crc32Update(kCrc32Initial, shifted.data() + 1, data.size()), whole);
}

}  // namespace
}  // namespace vantrel
