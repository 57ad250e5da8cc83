// CRC-32 of ISO 3309 / IEEE 802.3: reflected polynomial 0xEDB88320, start
// value 0xFFFFFFFF, result complemented. Pure code.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel {

// The CRC of an empty input; the value to start a running checksum from.
constexpr std::uint32_t kCrc32Initial = 0;

// Continues the checksum `crc` (a previous result, or kCrc32Initial) over
// `size` bytes at `data`. Feeding a stream in pieces gives the same result
// as feeding it whole.
std::uint32_t Crc32Update(std::uint32_t crc, const void* data, std::size_t size);

}  // namespace vantrel
