#include "platform/base/md5.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace vantrel {
namespace {

std::wstring Md5Hex(const std::string& bytes, std::size_t piece = 0) {
    TMd5Context context;
    Md5Init(context);
    if (piece == 0) piece = bytes.size() + 1;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        const std::size_t n = std::min(piece, bytes.size() - at);
        Md5Update(context, bytes.data() + at, static_cast<std::uint32_t>(n));
    }
    TMd5Digest digest;
    Md5Final(context, digest);
    return DigestToHex(digest);
}

// Bytes 0, 1, 2, ... 250, 0, 1, ...: no block looks like another.
std::string Pattern(std::size_t n) {
    std::string bytes(n, '\0');
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>(i % 251);
    return bytes;
}

struct DigestCase {
    std::string input;
    const wchar_t* expected;
};

TEST(Md5, TestSuiteOfTheStandard) {
    const DigestCase cases[] = {
        {"", L"d41d8cd98f00b204e9800998ecf8427e"},
        {"a", L"0cc175b9c0f1b6a831c399e269772661"},
        {"abc", L"900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", L"f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", L"c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", L"d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         L"57edf4a22be3c955ac49da2e2107b67a"},
        {std::string(1000000, 'a'), L"7707d6ae4e027c70eea2a935c2296f21"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input.substr(0, 80));
        EXPECT_EQ(Md5Hex(c.input), c.expected);
    }
}

TEST(Md5, PaddingAroundTheBlockBoundaries) {
    // Lengths where the padding and the length field just fit, just do not
    // fit, or fill a whole block.
    struct Case {
        std::size_t length;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {55, L"6912ee65fff2d9f9ce2508cddf8bcda0"},  {56, L"51fdd1acda72405dfdfa03fcb85896d7"},
        {63, L"48a6295221902e8e0938f773a7185e72"},  {64, L"b2d3f56bc197fd985d5965079b5e7148"},
        {65, L"8bd7053801c768420faf816fadba971c"},  {119, L"1c772251899a7ff007400b888d6b2042"},
        {120, L"b7ba1efc6022e9ed272f00b8831e26e6"}, {128, L"37eff01866ba3f538421b30b7cbefcac"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        EXPECT_EQ(Md5Hex(Pattern(c.length)), c.expected);
    }
}

TEST(Md5, PiecesGiveTheSameDigestAsOneUpdate) {
    const std::string bytes = Pattern(1000);
    const std::wstring whole = Md5Hex(bytes);
    for (std::size_t piece : {1, 3, 63, 64, 65, 127, 128, 129, 999}) {
        SCOPED_TRACE(piece);
        EXPECT_EQ(Md5Hex(bytes, piece), whole);
    }
}

TEST(Md5, LengthBeyondFourGigabits) {
    // More than 2^32 bits: the bit count carries into its high word.
    const std::vector<char> zeros(1 << 20, 0);
    TMd5Context context;
    Md5Init(context);
    for (int i = 0; i < 513; ++i) Md5Update(context, zeros.data(), static_cast<std::uint32_t>(zeros.size()));
    TMd5Digest digest;
    Md5Final(context, digest);
    EXPECT_EQ(DigestToHex(digest), L"f3a8799d64129a6fd8a5aa56f199ac54");
}

TEST(Md5, FinalWipesTheContext) {
    TMd5Context context;
    Md5Init(context);
    Md5Update(context, "secret", 6);
    TMd5Digest digest;
    Md5Final(context, digest);
    TMd5Context zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(std::memcmp(&context, &zero, sizeof zero), 0);
}

TEST(Md5, HexTextIsLowerCaseHighNibbleFirst) {
    TMd5Digest digest{};
    for (std::size_t i = 0; i < digest.size(); ++i) digest[i] = static_cast<std::uint8_t>(i * 17 + 0x0A);
    EXPECT_EQ(DigestToHex(digest), L"0a1b2c3d4e5f708192a3b4c5d6e7f809");
}

}  // namespace
}  // namespace vantrel
