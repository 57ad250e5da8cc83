// The records of a zip archive as this writer lays them out: local header,
// central directory header, end records, Zip64 where values overflow 32 or
// 16 bits. All numbers are little-endian. Pure code.
#pragma once

#include "platform/base/datetime.h"

#include <cstdint>
#include <string>

namespace vantrel {

const std::uint32_t kLocalHeaderSignature = 0x04034B50u;
const std::uint32_t kCentralHeaderSignature = 0x02014B50u;
const std::uint32_t kEndOfCentralSignature = 0x06054B50u;
const std::uint32_t kZip64EndOfCentralSignature = 0x06064B50u;
const std::uint32_t kZip64LocatorSignature = 0x07064B50u;

const std::uint16_t kVersionMadeBy = 0x002D;      // 4.5, host MS-DOS
const std::uint16_t kVersionMadeByUtf8 = 0x0B2D;  // 4.5, host 11: names in UTF-8
const std::uint16_t kVersionNeeded = 20;
const std::uint16_t kVersionNeededZip64 = 45;
const std::uint16_t kFlagMaximumCompression = 0x0002;
const std::uint16_t kFlagUtf8Name = 0x0800;
const std::uint16_t kMethodDeflate = 8;
const std::uint16_t kZip64ExtraTag = 0x0001;

const std::size_t kLocalHeaderSize = 30;
const std::size_t kCentralHeaderSize = 46;
const std::size_t kEndOfCentralSize = 22;
const std::size_t kZip64EndOfCentralSize = 56;
const std::size_t kZip64LocatorSize = 20;

// The largest value a 32-bit field holds; it and everything above go to the
// Zip64 field.
const std::uint64_t kMax32 = 0xFFFFFFFFu;
// The largest entry count the 16-bit fields of the end record hold.
const std::uint64_t kMax16 = 0xFFFFu;

// A file this large may deflate to more than 32 bits can hold (stored blocks
// add a few bytes per block), so its local header carries a Zip64 field from
// the start; a local header without one holds at most this many bytes.
const std::uint64_t kLocalZip64Threshold = 0xFF000000u;

// True when `value` does not fit a 32-bit field.
inline bool NeedsZip64(std::uint64_t value) { return value >= kMax32; }

// True when a local header written for a file of `size` bytes reserves the
// Zip64 field: decided once, when the provisional header is written.
inline bool LocalHeaderReservesZip64(std::uint64_t size) { return size >= kLocalZip64Threshold; }

// One archive entry.
struct TZipHeaderInfo {
    std::uint16_t VersionMadeBy = kVersionMadeBy;
    std::uint16_t VersionNeeded = kVersionNeeded;
    std::uint16_t Flags = 0;
    std::uint16_t Method = kMethodDeflate;
    std::uint32_t DosDateTime = 0;  // MS-DOS time in the low half, date in the high half
    std::uint32_t Crc32 = 0;
    std::uint64_t CompressedSize = 0;
    std::uint64_t UncompressedSize = 0;
    std::uint32_t ExternalAttributes = 0;
    std::uint64_t HeaderOffset = 0;
    std::string Name;         // the encoded name bytes
    bool LocalZip64 = false;  // the local header carries both sizes in a Zip64 field
};

// True when the central directory header of `h` needs a Zip64 field.
bool CentralNeedsZip64(const TZipHeaderInfo& h);

// The version needed to extract `h`: 45 when either of its headers carries a
// Zip64 field, else 20.
std::uint16_t VersionNeededFor(const TZipHeaderInfo& h);

// The local file header of `h`, name and extra field included.
std::string LocalHeaderRecord(const TZipHeaderInfo& h);

// The central directory header of `h`, name and extra field included.
std::string CentralHeaderRecord(const TZipHeaderInfo& h);

// The end of the archive after a central directory of `directory_size`
// bytes at `directory_offset` holding `entries` entries: the Zip64 end
// record and its locator when a value overflows, then the end record.
std::string EndRecords(std::uint64_t entries, std::uint64_t directory_size, std::uint64_t directory_offset);

// A local date and time as MS-DOS time (low half) and date (high half), at
// two-second resolution; times before 1980 or after 2107, which the format
// cannot hold, become its first or last moment.
std::uint32_t DosDateTime(const TDateTimeParts& when);

// Little-endian appenders.
void PutU16(std::string& out, std::uint16_t value);
void PutU32(std::string& out, std::uint32_t value);
void PutU64(std::string& out, std::uint64_t value);

}  // namespace vantrel
