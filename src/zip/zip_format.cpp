#include "zip/zip_format.h"

#include <algorithm>

namespace vantrel {

namespace {

std::uint32_t Field32(std::uint64_t value) { return static_cast<std::uint32_t>(std::min(value, kMax32)); }

// The Zip64 extended-information field holding `values` in their order.
std::string Zip64Extra(std::initializer_list<std::uint64_t> values) {
    std::string out;
    PutU16(out, kZip64ExtraTag);
    PutU16(out, static_cast<std::uint16_t>(8 * values.size()));
    for (std::uint64_t v : values) PutU64(out, v);
    return out;
}

std::string CentralExtra(const TZipHeaderInfo& h) {
    std::string data;
    if (NeedsZip64(h.UncompressedSize)) PutU64(data, h.UncompressedSize);
    if (NeedsZip64(h.CompressedSize)) PutU64(data, h.CompressedSize);
    if (NeedsZip64(h.HeaderOffset)) PutU64(data, h.HeaderOffset);
    if (data.empty()) return data;
    std::string out;
    PutU16(out, kZip64ExtraTag);
    PutU16(out, static_cast<std::uint16_t>(data.size()));
    return out + data;
}

}  // namespace

void PutU16(std::string& out, std::uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void PutU32(std::string& out, std::uint32_t value) {
    PutU16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    PutU16(out, static_cast<std::uint16_t>(value >> 16));
}

void PutU64(std::string& out, std::uint64_t value) {
    PutU32(out, static_cast<std::uint32_t>(value & 0xFFFFFFFFu));
    PutU32(out, static_cast<std::uint32_t>(value >> 32));
}

bool CentralNeedsZip64(const TZipHeaderInfo& h) {
    return NeedsZip64(h.UncompressedSize) || NeedsZip64(h.CompressedSize) || NeedsZip64(h.HeaderOffset);
}

std::uint16_t VersionNeededFor(const TZipHeaderInfo& h) {
    return h.LocalZip64 || CentralNeedsZip64(h) ? kVersionNeededZip64 : kVersionNeeded;
}

std::string LocalHeaderRecord(const TZipHeaderInfo& h) {
    std::string extra = h.LocalZip64 ? Zip64Extra({h.UncompressedSize, h.CompressedSize}) : std::string();
    std::string out;
    out.reserve(kLocalHeaderSize + h.Name.size() + extra.size());
    PutU32(out, kLocalHeaderSignature);
    PutU16(out, h.VersionNeeded);
    PutU16(out, h.Flags);
    PutU16(out, h.Method);
    PutU32(out, h.DosDateTime);
    PutU32(out, h.Crc32);
    PutU32(out, h.LocalZip64 ? static_cast<std::uint32_t>(kMax32) : Field32(h.CompressedSize));
    PutU32(out, h.LocalZip64 ? static_cast<std::uint32_t>(kMax32) : Field32(h.UncompressedSize));
    PutU16(out, static_cast<std::uint16_t>(h.Name.size()));
    PutU16(out, static_cast<std::uint16_t>(extra.size()));
    out += h.Name;
    out += extra;
    return out;
}

std::string CentralHeaderRecord(const TZipHeaderInfo& h) {
    std::string extra = CentralExtra(h);
    std::string out;
    out.reserve(kCentralHeaderSize + h.Name.size() + extra.size());
    PutU32(out, kCentralHeaderSignature);
    PutU16(out, h.VersionMadeBy);
    PutU16(out, h.VersionNeeded);
    PutU16(out, h.Flags);
    PutU16(out, h.Method);
    PutU32(out, h.DosDateTime);
    PutU32(out, h.Crc32);
    PutU32(out, Field32(h.CompressedSize));
    PutU32(out, Field32(h.UncompressedSize));
    PutU16(out, static_cast<std::uint16_t>(h.Name.size()));
    PutU16(out, static_cast<std::uint16_t>(extra.size()));
    PutU16(out, 0);  // comment length
    PutU16(out, 0);  // disk number start
    PutU16(out, 0);  // internal attributes
    PutU32(out, h.ExternalAttributes);
    PutU32(out, Field32(h.HeaderOffset));
    out += h.Name;
    out += extra;
    return out;
}

std::string EndRecords(std::uint64_t entries, std::uint64_t directory_size, std::uint64_t directory_offset) {
    std::string out;
    const bool zip64 = entries >= kMax16 || NeedsZip64(directory_size) || NeedsZip64(directory_offset);
    if (zip64) {
        const std::uint64_t record_offset = directory_offset + directory_size;
        PutU32(out, kZip64EndOfCentralSignature);
        PutU64(out, kZip64EndOfCentralSize - 12);  // the record's size after this field
        PutU16(out, kVersionMadeBy);
        PutU16(out, kVersionNeededZip64);
        PutU32(out, 0);  // this disk
        PutU32(out, 0);  // disk where the central directory starts
        PutU64(out, entries);
        PutU64(out, entries);
        PutU64(out, directory_size);
        PutU64(out, directory_offset);

        PutU32(out, kZip64LocatorSignature);
        PutU32(out, 0);  // disk holding the Zip64 end record
        PutU64(out, record_offset);
        PutU32(out, 1);  // total disks
    }
    const auto entries16 = static_cast<std::uint16_t>(std::min(entries, kMax16));
    PutU32(out, kEndOfCentralSignature);
    PutU16(out, 0);  // this disk
    PutU16(out, 0);  // disk where the central directory starts
    PutU16(out, entries16);
    PutU16(out, entries16);
    PutU32(out, Field32(directory_size));
    PutU32(out, Field32(directory_offset));
    PutU16(out, 0);  // comment length
    return out;
}

std::uint32_t DosDateTime(const TDateTimeParts& when) {
    if (when.Year < 1980) return (0x21u << 16);                                     // 1 January 1980, 00:00:00
    if (when.Year > 2107) return (0xFF9Fu << 16) | (23u << 11) | (59u << 5) | 29u;  // 31 December 2107, 23:59:58
    const std::uint32_t date = (static_cast<std::uint32_t>(when.Year - 1980) << 9) |
                               (static_cast<std::uint32_t>(when.Month) << 5) | static_cast<std::uint32_t>(when.Day);
    const std::uint32_t time = (static_cast<std::uint32_t>(when.Hour) << 11) |
                               (static_cast<std::uint32_t>(when.Minute) << 5) |
                               static_cast<std::uint32_t>(when.Second / 2);
    return (date << 16) | time;
}

}  // namespace vantrel
