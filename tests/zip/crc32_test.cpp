#include "zip/crc32.h"

#include <gtest/gtest.h>

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

// The register carries over between updates: any split of the bytes gives
// the checksum of the whole.
TEST(Crc32, UpdatesInPiecesEqualTheWhole) {
    const std::string data = "The quick brown fox jumps over the lazy dog";
    for (std::size_t split = 0; split <= data.size(); ++split) {
        TCrc32 crc;
        crc.Update(data.data(), split);
        crc.Update(data.data() + split, data.size() - split);
        EXPECT_EQ(crc.Value(), 0x414FA339u) << "split " << split;
    }
}

}  // namespace
}  // namespace vantrel
