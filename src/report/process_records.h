// The records of the system's process query (the native process information
// records, in the layout of the asking process's pointer size). Pure code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

struct TSystemProcessRecord {
    bool HasImageName = false;  // false for the idle process
    std::wstring ImageName;
    std::uint32_t ProcessId = 0;
    std::uint32_t SessionId = 0;
    std::uint32_t ThreadCount = 0;
    std::uint32_t HandleCount = 0;
};

// Where the fields lie in one record. The record holds pointer-sized members
// (the image name's buffer, the process identifiers), so a 32-bit process
// (under WOW64 too) and a 64-bit process receive different layouts.
struct TProcessRecordLayout {
    std::size_t PointerSize;      // 4 or 8
    std::size_t ThreadCount;      // 32-bit count
    std::size_t ImageNameLength;  // 16-bit count of bytes, without terminator
    std::size_t ImageNameBuffer;  // pointer
    std::size_t ProcessId;        // pointer-sized; the low 32 bits are the identifier
    std::size_t HandleCount;      // 32-bit count
    std::size_t SessionId;        // 32-bit number
    std::size_t RecordMinimum;    // bytes up to and including the session
};

// The two layouts. The counts and times before the image name are
// fixed-size, so they part at the name's buffer pointer, which is aligned to
// the pointer size.
inline constexpr TProcessRecordLayout kProcessRecords32 = {4, 4, 56, 60, 68, 76, 80, 84};
inline constexpr TProcessRecordLayout kProcessRecords64 = {8, 4, 56, 64, 80, 96, 100, 104};

// The layout a process of `pointer_size` bytes (4 or 8) receives.
constexpr const TProcessRecordLayout& ProcessRecordLayout(std::size_t pointer_size) {
    return pointer_size == 8 ? kProcessRecords64 : kProcessRecords32;
}

// Walks the records of a filled query buffer from the first to the one whose
// next-entry offset is 0. `buffer_address` is the address the buffer had when
// the system filled it: image names are pointers into the buffer. A record
// that does not fit in the buffer ends the walk; a name that lies outside it
// reads as empty text.
std::vector<TSystemProcessRecord> ParseProcessRecords(const unsigned char* data, std::size_t size,
                                                      std::uint64_t buffer_address, const TProcessRecordLayout& layout);

}  // namespace vantrel
