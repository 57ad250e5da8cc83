#include "report/process_records.h"

#include "platform/base/text.h"

#include <string>

namespace vantrel {

namespace {

// The next-entry offset opens every record in both layouts.
constexpr std::size_t kNextEntryOffset = 0;

std::uint32_t Read32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t ReadPointer(const unsigned char* p, std::size_t pointer_size) {
    std::uint64_t value = Read32(p);
    if (pointer_size == 8) value |= static_cast<std::uint64_t>(Read32(p + 4)) << 32;
    return value;
}

std::uint16_t Read16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

std::vector<TSystemProcessRecord> ParseProcessRecords(const unsigned char* data, std::size_t size,
                                                      std::uint64_t buffer_address,
                                                      const TProcessRecordLayout& layout) {
    std::vector<TSystemProcessRecord> records;
    std::size_t offset = 0;
    while (size - offset >= layout.RecordMinimum) {
        const unsigned char* record = data + offset;
        TSystemProcessRecord r;
        r.ThreadCount = Read32(record + layout.ThreadCount);
        r.ProcessId = static_cast<std::uint32_t>(ReadPointer(record + layout.ProcessId, layout.PointerSize));
        r.HandleCount = Read32(record + layout.HandleCount);
        r.SessionId = Read32(record + layout.SessionId);

        const std::size_t name_bytes = Read16(record + layout.ImageNameLength);
        const std::uint64_t name_address = ReadPointer(record + layout.ImageNameBuffer, layout.PointerSize);
        r.HasImageName = name_address != 0 && name_bytes != 0;
        if (r.HasImageName && name_address >= buffer_address && name_address - buffer_address <= size) {
            const auto name_offset = static_cast<std::size_t>(name_address - buffer_address);
            if (size - name_offset >= name_bytes) {
                r.ImageName = DecodeUtf16Le(std::string(reinterpret_cast<const char*>(data + name_offset), name_bytes));
            }
        }
        records.push_back(std::move(r));

        std::uint32_t next = Read32(record + kNextEntryOffset);
        if (next == 0 || next > size - offset) break;
        offset += next;
    }
    return records;
}

}  // namespace vantrel
