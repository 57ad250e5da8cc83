#include "report/process_records.h"

#include "platform/base/text.h"

#include <string>

namespace vantrel {

namespace {

// Offsets in one record of the 32-bit layout.
constexpr std::size_t kNextEntryOffset = 0;
constexpr std::size_t kThreadCount = 4;
constexpr std::size_t kImageNameLength = 56;  // bytes, without terminator
constexpr std::size_t kImageNameBuffer = 60;
constexpr std::size_t kProcessId = 68;
constexpr std::size_t kHandleCount = 76;
constexpr std::size_t kSessionId = 80;
constexpr std::size_t kRecordMinimum = 84;

std::uint32_t Read32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t Read16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

std::vector<TSystemProcessRecord> ParseProcessRecords(const unsigned char* data, std::size_t size,
                                                      std::uint32_t buffer_address) {
    std::vector<TSystemProcessRecord> records;
    std::size_t offset = 0;
    while (size - offset >= kRecordMinimum) {
        const unsigned char* record = data + offset;
        TSystemProcessRecord r;
        r.ThreadCount = Read32(record + kThreadCount);
        r.ProcessId = Read32(record + kProcessId);
        r.HandleCount = Read32(record + kHandleCount);
        r.SessionId = Read32(record + kSessionId);

        std::size_t name_bytes = Read16(record + kImageNameLength);
        std::uint32_t name_address = Read32(record + kImageNameBuffer);
        std::size_t name_offset = static_cast<std::uint32_t>(name_address - buffer_address);
        r.HasImageName = name_address != 0 && name_bytes != 0;
        if (r.HasImageName && name_address >= buffer_address && name_offset <= size &&
            size - name_offset >= name_bytes) {
            r.ImageName = DecodeUtf16Le(std::string(reinterpret_cast<const char*>(data + name_offset), name_bytes));
        }
        records.push_back(std::move(r));

        std::uint32_t next = Read32(record + kNextEntryOffset);
        if (next == 0 || next > size - offset) break;
        offset += next;
    }
    return records;
}

}  // namespace vantrel
