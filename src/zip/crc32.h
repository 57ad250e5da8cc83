// CRC-32 of the archive members (polynomial 0xEDB88320, reflected), computed
// by zlib.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel {

// The running CRC register: starts at 0xFFFFFFFF, is updated over every
// byte, and its complement is the checksum.
class TCrc32 {
public:
    void Update(const void* data, std::size_t size);
    std::uint32_t Value() const { return ~register_; }

private:
    std::uint32_t register_ = 0xFFFFFFFFu;
};

// The checksum of one block of bytes.
std::uint32_t Crc32Of(const void* data, std::size_t size);

}  // namespace vantrel
