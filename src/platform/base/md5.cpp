#include "platform/base/md5.h"

#include <cstring>

namespace vantrel {

namespace {

inline std::uint32_t Rotl(std::uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

inline std::uint32_t LoadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline void StoreLe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// The four auxiliary functions, in forms equal to the RFC's that need fewer
// operations.
inline std::uint32_t F(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return z ^ (x & (y ^ z)); }
inline std::uint32_t G(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return y ^ (z & (x ^ y)); }
inline std::uint32_t H(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return x ^ y ^ z; }
inline std::uint32_t I(std::uint32_t x, std::uint32_t y, std::uint32_t z) { return y ^ (x | ~z); }

#define VANTREL_MD5_STEP(f, a, b, c, d, k, s, t) \
    (a) += f(b, c, d) + x[k] + (t);              \
    (a) = Rotl(a, s) + (b)

// Digests `blocks` consecutive 64-byte blocks.
void Transform(std::uint32_t state[4], const std::uint8_t* data, std::size_t blocks) {
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks > 0; --blocks, data += 64) {
        std::uint32_t x[16];
        for (std::size_t i = 0; i < 16; ++i) x[i] = LoadLe32(data + 4 * i);
        const std::uint32_t aa = a, bb = b, cc = c, dd = d;

        VANTREL_MD5_STEP(F, a, b, c, d, 0, 7, 0xd76aa478);
        VANTREL_MD5_STEP(F, d, a, b, c, 1, 12, 0xe8c7b756);
        VANTREL_MD5_STEP(F, c, d, a, b, 2, 17, 0x242070db);
        VANTREL_MD5_STEP(F, b, c, d, a, 3, 22, 0xc1bdceee);
        VANTREL_MD5_STEP(F, a, b, c, d, 4, 7, 0xf57c0faf);
        VANTREL_MD5_STEP(F, d, a, b, c, 5, 12, 0x4787c62a);
        VANTREL_MD5_STEP(F, c, d, a, b, 6, 17, 0xa8304613);
        VANTREL_MD5_STEP(F, b, c, d, a, 7, 22, 0xfd469501);
        VANTREL_MD5_STEP(F, a, b, c, d, 8, 7, 0x698098d8);
        VANTREL_MD5_STEP(F, d, a, b, c, 9, 12, 0x8b44f7af);
        VANTREL_MD5_STEP(F, c, d, a, b, 10, 17, 0xffff5bb1);
        VANTREL_MD5_STEP(F, b, c, d, a, 11, 22, 0x895cd7be);
        VANTREL_MD5_STEP(F, a, b, c, d, 12, 7, 0x6b901122);
        VANTREL_MD5_STEP(F, d, a, b, c, 13, 12, 0xfd987193);
        VANTREL_MD5_STEP(F, c, d, a, b, 14, 17, 0xa679438e);
        VANTREL_MD5_STEP(F, b, c, d, a, 15, 22, 0x49b40821);

        VANTREL_MD5_STEP(G, a, b, c, d, 1, 5, 0xf61e2562);
        VANTREL_MD5_STEP(G, d, a, b, c, 6, 9, 0xc040b340);
        VANTREL_MD5_STEP(G, c, d, a, b, 11, 14, 0x265e5a51);
        VANTREL_MD5_STEP(G, b, c, d, a, 0, 20, 0xe9b6c7aa);
        VANTREL_MD5_STEP(G, a, b, c, d, 5, 5, 0xd62f105d);
        VANTREL_MD5_STEP(G, d, a, b, c, 10, 9, 0x02441453);
        VANTREL_MD5_STEP(G, c, d, a, b, 15, 14, 0xd8a1e681);
        VANTREL_MD5_STEP(G, b, c, d, a, 4, 20, 0xe7d3fbc8);
        VANTREL_MD5_STEP(G, a, b, c, d, 9, 5, 0x21e1cde6);
        VANTREL_MD5_STEP(G, d, a, b, c, 14, 9, 0xc33707d6);
        VANTREL_MD5_STEP(G, c, d, a, b, 3, 14, 0xf4d50d87);
        VANTREL_MD5_STEP(G, b, c, d, a, 8, 20, 0x455a14ed);
        VANTREL_MD5_STEP(G, a, b, c, d, 13, 5, 0xa9e3e905);
        VANTREL_MD5_STEP(G, d, a, b, c, 2, 9, 0xfcefa3f8);
        VANTREL_MD5_STEP(G, c, d, a, b, 7, 14, 0x676f02d9);
        VANTREL_MD5_STEP(G, b, c, d, a, 12, 20, 0x8d2a4c8a);

        VANTREL_MD5_STEP(H, a, b, c, d, 5, 4, 0xfffa3942);
        VANTREL_MD5_STEP(H, d, a, b, c, 8, 11, 0x8771f681);
        VANTREL_MD5_STEP(H, c, d, a, b, 11, 16, 0x6d9d6122);
        VANTREL_MD5_STEP(H, b, c, d, a, 14, 23, 0xfde5380c);
        VANTREL_MD5_STEP(H, a, b, c, d, 1, 4, 0xa4beea44);
        VANTREL_MD5_STEP(H, d, a, b, c, 4, 11, 0x4bdecfa9);
        VANTREL_MD5_STEP(H, c, d, a, b, 7, 16, 0xf6bb4b60);
        VANTREL_MD5_STEP(H, b, c, d, a, 10, 23, 0xbebfbc70);
        VANTREL_MD5_STEP(H, a, b, c, d, 13, 4, 0x289b7ec6);
        VANTREL_MD5_STEP(H, d, a, b, c, 0, 11, 0xeaa127fa);
        VANTREL_MD5_STEP(H, c, d, a, b, 3, 16, 0xd4ef3085);
        VANTREL_MD5_STEP(H, b, c, d, a, 6, 23, 0x04881d05);
        VANTREL_MD5_STEP(H, a, b, c, d, 9, 4, 0xd9d4d039);
        VANTREL_MD5_STEP(H, d, a, b, c, 12, 11, 0xe6db99e5);
        VANTREL_MD5_STEP(H, c, d, a, b, 15, 16, 0x1fa27cf8);
        VANTREL_MD5_STEP(H, b, c, d, a, 2, 23, 0xc4ac5665);

        VANTREL_MD5_STEP(I, a, b, c, d, 0, 6, 0xf4292244);
        VANTREL_MD5_STEP(I, d, a, b, c, 7, 10, 0x432aff97);
        VANTREL_MD5_STEP(I, c, d, a, b, 14, 15, 0xab9423a7);
        VANTREL_MD5_STEP(I, b, c, d, a, 5, 21, 0xfc93a039);
        VANTREL_MD5_STEP(I, a, b, c, d, 12, 6, 0x655b59c3);
        VANTREL_MD5_STEP(I, d, a, b, c, 3, 10, 0x8f0ccc92);
        VANTREL_MD5_STEP(I, c, d, a, b, 10, 15, 0xffeff47d);
        VANTREL_MD5_STEP(I, b, c, d, a, 1, 21, 0x85845dd1);
        VANTREL_MD5_STEP(I, a, b, c, d, 8, 6, 0x6fa87e4f);
        VANTREL_MD5_STEP(I, d, a, b, c, 15, 10, 0xfe2ce6e0);
        VANTREL_MD5_STEP(I, c, d, a, b, 6, 15, 0xa3014314);
        VANTREL_MD5_STEP(I, b, c, d, a, 13, 21, 0x4e0811a1);
        VANTREL_MD5_STEP(I, a, b, c, d, 4, 6, 0xf7537e82);
        VANTREL_MD5_STEP(I, d, a, b, c, 11, 10, 0xbd3af235);
        VANTREL_MD5_STEP(I, c, d, a, b, 2, 15, 0x2ad7d2bb);
        VANTREL_MD5_STEP(I, b, c, d, a, 9, 21, 0xeb86d391);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

#undef VANTREL_MD5_STEP

}  // namespace

void Md5Init(TMd5Context& context) {
    context.State[0] = 0x67452301;
    context.State[1] = 0xefcdab89;
    context.State[2] = 0x98badcfe;
    context.State[3] = 0x10325476;
    context.Count[0] = 0;
    context.Count[1] = 0;
    std::memset(context.Buffer, 0, sizeof context.Buffer);
}

void Md5Update(TMd5Context& context, const void* data, std::uint32_t length) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const std::uint32_t used = (context.Count[0] >> 3) & 63;

    // The bit count is a 64-bit number kept as two words.
    const std::uint32_t low_before = context.Count[0];
    context.Count[0] += length << 3;
    if (context.Count[0] < low_before) ++context.Count[1];
    context.Count[1] += length >> 29;

    std::uint32_t done = 0;
    if (used > 0) {
        const std::uint32_t room = 64 - used;
        if (length < room) {
            std::memcpy(context.Buffer + used, bytes, length);
            return;
        }
        std::memcpy(context.Buffer + used, bytes, room);
        Transform(context.State, context.Buffer, 1);
        done = room;
    }
    const std::uint32_t whole = (length - done) / 64;
    if (whole > 0) {
        Transform(context.State, bytes + done, whole);
        done += whole * 64;
    }
    if (done < length) std::memcpy(context.Buffer, bytes + done, length - done);
}

void Md5Final(TMd5Context& context, TMd5Digest& digest) {
    std::uint8_t length_bytes[8];
    StoreLe32(length_bytes, context.Count[0]);
    StoreLe32(length_bytes + 4, context.Count[1]);

    // Pad with one 1 bit and zeros to 56 bytes modulo 64, then the length.
    static const std::uint8_t kPadding[64] = {0x80};
    const std::uint32_t used = (context.Count[0] >> 3) & 63;
    const std::uint32_t pad = used < 56 ? 56 - used : 120 - used;
    Md5Update(context, kPadding, pad);
    Md5Update(context, length_bytes, 8);

    for (std::size_t i = 0; i < 4; ++i) StoreLe32(digest.data() + 4 * i, context.State[i]);
    volatile std::uint8_t* wipe = reinterpret_cast<volatile std::uint8_t*>(&context);
    for (std::size_t i = 0; i < sizeof context; ++i) wipe[i] = 0;
}

std::wstring DigestToHex(const TMd5Digest& digest) {
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text;
    text.reserve(32);
    for (std::uint8_t byte : digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

std::wstring EmptyInputMD5Hex() {
    TMd5Context context;
    Md5Init(context);
    TMd5Digest digest;
    Md5Final(context, digest);
    return DigestToHex(digest);
}

}  // namespace vantrel
