#include "zip/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

namespace vantrel {
namespace {

TEST(Crc32, KnownValues) {
    struct Case {
        std::string data;
        std::uint32_t crc;
    };
    const Case cases[] = {
        {"", 0x00000000u},
        {"a", 0xE8B7BE43u},
        {"123456789", 0xCBF43926u},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
        {std::string(32, '\0'), 0x190A55ADu},
        {std::string(32, '\xFF'), 0xFF6CAB0Bu},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        EXPECT_EQ(Crc32Of(c.data.data(), c.data.size()), c.crc);
    }
}

// Every length up to a few words, every alignment and every split point of
// the running register agree with zlib's checksum.
TEST(Crc32, AgreesWithZlibAcrossLengthsAlignmentsAndSplits) {
    std::mt19937 random(7);
    std::string data(300, '\0');
    for (char& c : data) c = static_cast<char>(random());
    for (std::size_t start = 0; start < 9; ++start) {
        for (std::size_t length = 0; length + start <= 80; ++length) {
            const char* p = data.data() + start;
            const auto expected = static_cast<std::uint32_t>(
                crc32(crc32(0, Z_NULL, 0), reinterpret_cast<const Bytef*>(p), static_cast<uInt>(length)));
            ASSERT_EQ(Crc32Of(p, length), expected) << "start " << start << " length " << length;
            for (std::size_t split = 0; split <= length; split += 3) {
                TCrc32 crc;
                crc.Update(p, split);
                crc.Update(p + split, length - split);
                ASSERT_EQ(crc.Value(), expected) << "split " << split;
            }
        }
    }
    TCrc32 whole;
    whole.Update(data.data(), data.size());
    EXPECT_EQ(whole.Value(), static_cast<std::uint32_t>(crc32(crc32(0, Z_NULL, 0),
                                                              reinterpret_cast<const Bytef*>(data.data()),
                                                              static_cast<uInt>(data.size()))));
}

}  // namespace
}  // namespace vantrel
