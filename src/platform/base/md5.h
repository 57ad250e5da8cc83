// MD5 message digest (RFC 1321) and the digest of a file's content.
// The three digest steps are pure code; FileMD5 and FileMD5Hex read the file
// through read-only mapped views (md5_win.cpp).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vantrel {

// One digest in progress: the four state words, the message length in bits
// (low word first) and the incomplete last block. Lives on the caller's stack.
struct TMd5Context {
    std::uint32_t State[4];
    std::uint32_t Count[2];
    std::uint8_t Buffer[64];
};

// The 16 digest bytes, state words in little-endian order.
using TMd5Digest = std::array<std::uint8_t, 16>;

// Starts a digest.
void Md5Init(TMd5Context& context);
// Adds `length` bytes. Whole 64-byte blocks are digested straight from
// `data`; only an incomplete last block is copied into the context.
void Md5Update(TMd5Context& context, const void* data, std::uint32_t length);
// Pads, appends the length and writes the digest; the context is then
// overwritten with zeros.
void Md5Final(TMd5Context& context, TMd5Digest& digest);

// The 32-character lower-case hexadecimal text of a digest.
std::wstring DigestToHex(const TMd5Digest& digest);

// The text of the digest of empty input, which a file that cannot be read
// gets: d41d8cd98f00b204e9800998ecf8427e.
std::wstring EmptyInputMD5Hex();

// Bytes per mapped view when a file is digested: large enough to make the
// mapping calls rare, small enough to find room in a 32-bit process's
// address space. A multiple of the 64 KiB allocation granularity.
constexpr std::uint32_t kMd5ViewBytes = 64u << 20;

// Files up to this size are read whole into a buffer instead: mapping and
// unmapping a view costs more than reading a few pages.
constexpr std::uint32_t kMd5ReadBytes = 64u << 10;

// The MD5 of the whole content of the named file, read through successive
// read-only mapped views of at most kMd5ViewBytes (a file of up to
// kMd5ReadBytes: read whole). Never fails: a file that cannot be opened
// (missing, held without read and write sharing), is empty, or cannot be
// mapped or read to its end gives the digest of empty input.
void FileMD5(const std::wstring& file_name, TMd5Digest& digest);
// FileMD5 with views of at most `view_bytes` (a multiple of 64 KiB).
void FileMD5InViews(const std::wstring& file_name, TMd5Digest& digest, std::uint32_t view_bytes);
// DigestToHex of FileMD5.
std::wstring FileMD5Hex(const std::wstring& file_name);
// FileMD5Hex of a file already open for reading (`file` is a HANDLE).
std::wstring OpenFileMD5Hex(void* file);

}  // namespace vantrel
