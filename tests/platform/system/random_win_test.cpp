#include "platform/system/random_win.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(RandomHex, DigitsFromTheSystemsRandomSource) {
    const std::wstring a = RandomHex(16);
    EXPECT_EQ(a.size(), 32u);
    EXPECT_NE(a, RandomHex(16));
}

}  // namespace
}  // namespace vantrel
