// The records of the system's process query (the 32-bit layout of the
// native process information records the tool receives). Pure code.
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

// Walks the records of a filled query buffer from the first to the one whose
// next-entry offset is 0. `buffer_address` is the address the buffer had when
// the system filled it: image names are pointers into the buffer. A record
// that does not fit in the buffer ends the walk; a name that lies outside it
// reads as empty text.
std::vector<TSystemProcessRecord> ParseProcessRecords(const unsigned char* data, std::size_t size,
                                                      std::uint32_t buffer_address);

}  // namespace vantrel
