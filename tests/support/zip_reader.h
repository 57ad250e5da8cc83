// A small, strict reader of zip archives for the tests: it walks the end
// records and the central directory, checks every local header against its
// central one, and inflates each member with zlib, checking its size and
// CRC (zlib's own crc32). It shares no code with the writer.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace vantrel_test {

struct TInspectedEntry {
    std::uint16_t VersionMadeBy = 0;
    std::uint16_t VersionNeeded = 0;
    std::uint16_t Flags = 0;
    std::uint16_t Method = 0;
    std::uint32_t DosDateTime = 0;
    std::uint32_t Crc32 = 0;
    std::uint64_t CompressedSize = 0;  // after Zip64 resolution
    std::uint64_t UncompressedSize = 0;
    std::uint32_t CompressedField = 0;  // the raw 32-bit fields of the central header
    std::uint32_t UncompressedField = 0;
    std::uint32_t OffsetField = 0;
    std::uint16_t InternalAttributes = 0;
    std::uint32_t ExternalAttributes = 0;
    std::uint64_t HeaderOffset = 0;
    std::string Name;
    std::string CentralExtra;
    std::string LocalExtra;
    std::string Compressed;  // the raw deflate bytes
    std::string Data;        // inflated
};

struct TInspectedArchive {
    std::vector<TInspectedEntry> Entries;
    bool Zip64End = false;         // a Zip64 end record and locator are present
    std::uint16_t EndEntries = 0;  // the 16-bit count fields of the end record
    std::uint32_t EndDirectorySize = 0;
    std::uint32_t EndDirectoryOffset = 0;
    std::uint64_t DirectoryOffset = 0;
    std::uint64_t DirectorySize = 0;
};

// Reads `bytes` as a whole archive whose first byte lies at file offset
// `base` (offsets in the archive count from the file's start). Throws
// std::runtime_error describing the first inconsistency.
// With `inflate` false the members are located and checked but not inflated.
TInspectedArchive InspectZip(const std::string& bytes, std::uint64_t base = 0, bool inflate = true);

// Raw inflate of `compressed` (no zlib wrapper); throws on a broken stream.
std::string InflateRaw(const std::string& compressed);

}  // namespace vantrel_test
