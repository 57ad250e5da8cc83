#include "support/zip_reader.h"

#include <zlib.h>

#include <cstring>

namespace vantrel_test {

namespace {

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error("zip: " + what); }

class TReader {
public:
    TReader(const std::string& bytes, std::uint64_t base) : bytes_(bytes), base_(base) {}

    // Moves to the file offset `offset`.
    void Seek(std::uint64_t offset) {
        if (offset < base_ || offset - base_ > bytes_.size()) Fail("offset out of range");
        pos_ = static_cast<std::size_t>(offset - base_);
    }
    std::uint64_t Tell() const { return base_ + pos_; }
    std::uint64_t Get(int width) {
        Need(width);
        std::uint64_t v = 0;
        for (int i = width - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes_[pos_ + i]);
        pos_ += width;
        return v;
    }
    std::uint16_t U16() { return static_cast<std::uint16_t>(Get(2)); }
    std::uint32_t U32() { return static_cast<std::uint32_t>(Get(4)); }
    std::uint64_t U64() { return Get(8); }
    std::string Bytes(std::uint64_t n) {
        Need(n);
        std::string s = bytes_.substr(pos_, static_cast<std::size_t>(n));
        pos_ += static_cast<std::size_t>(n);
        return s;
    }

private:
    void Need(std::uint64_t n) const {
        if (n > bytes_.size() - pos_) Fail("record runs past the end");
    }
    const std::string& bytes_;
    std::uint64_t base_;
    std::size_t pos_ = 0;
};

// The values of a Zip64 extra field for those of `wanted` that are set.
std::vector<std::uint64_t> Zip64Values(const std::string& extra, std::size_t wanted) {
    TReader r(extra, 0);
    while (r.Tell() < extra.size()) {
        std::uint16_t tag = r.U16();
        std::uint16_t size = r.U16();
        std::string data = r.Bytes(size);
        if (tag != 1) continue;
        if (size != 8 * wanted)
            Fail("Zip64 field of " + std::to_string(size) + " bytes for " + std::to_string(wanted) + " values");
        TReader d(data, 0);
        std::vector<std::uint64_t> values;
        for (std::size_t i = 0; i < wanted; ++i) values.push_back(d.U64());
        return values;
    }
    if (wanted > 0) Fail("Zip64 field missing");
    return {};
}

void ReadEnd(TReader& r, std::uint64_t end, TInspectedArchive& a, std::uint64_t& entries) {
    if (end < 22) Fail("too short for an end record");
    r.Seek(end - 22);
    if (r.U32() != 0x06054B50u) Fail("no end record in the last 22 bytes");
    if (r.U16() != 0 || r.U16() != 0) Fail("disk numbers not 0");
    a.EndEntries = r.U16();
    if (r.U16() != a.EndEntries) Fail("entry counts differ");
    a.EndDirectorySize = r.U32();
    a.EndDirectoryOffset = r.U32();
    if (r.U16() != 0) Fail("archive comment present");
    entries = a.EndEntries;
    a.DirectorySize = a.EndDirectorySize;
    a.DirectoryOffset = a.EndDirectoryOffset;
    if (end < 22 + 20) return;
    r.Seek(end - 22 - 20);
    if (r.U32() != 0x07064B50u) return;
    a.Zip64End = true;
    if (r.U32() != 0) Fail("locator disk not 0");
    std::uint64_t record = r.U64();
    if (r.U32() != 1) Fail("locator total disks not 1");
    if (record != end - 22 - 20 - 56) Fail("Zip64 end record not right before its locator");
    r.Seek(record);
    if (r.U32() != 0x06064B50u) Fail("Zip64 end record signature");
    if (r.U64() != 44) Fail("Zip64 end record size");
    if (r.U16() != 45 || r.U16() != 45) Fail("Zip64 end record versions");
    if (r.U32() != 0 || r.U32() != 0) Fail("Zip64 end record disks");
    entries = r.U64();
    if (r.U64() != entries) Fail("Zip64 entry counts differ");
    a.DirectorySize = r.U64();
    a.DirectoryOffset = r.U64();
    if (a.DirectoryOffset + a.DirectorySize != record) Fail("central directory does not end at the Zip64 end record");
}

TInspectedEntry ReadCentral(TReader& r) {
    TInspectedEntry e;
    if (r.U32() != 0x02014B50u) Fail("central header signature");
    e.VersionMadeBy = r.U16();
    e.VersionNeeded = r.U16();
    e.Flags = r.U16();
    e.Method = r.U16();
    e.DosDateTime = r.U32();
    e.Crc32 = r.U32();
    e.CompressedField = r.U32();
    e.UncompressedField = r.U32();
    std::uint16_t name_length = r.U16();
    std::uint16_t extra_length = r.U16();
    if (r.U16() != 0) Fail("entry comment present");
    if (r.U16() != 0) Fail("disk number start not 0");
    e.InternalAttributes = r.U16();
    e.ExternalAttributes = r.U32();
    e.OffsetField = r.U32();
    e.Name = r.Bytes(name_length);
    e.CentralExtra = r.Bytes(extra_length);
    std::size_t wanted =
        (e.UncompressedField == 0xFFFFFFFFu) + (e.CompressedField == 0xFFFFFFFFu) + (e.OffsetField == 0xFFFFFFFFu);
    std::vector<std::uint64_t> values = Zip64Values(e.CentralExtra, wanted);
    std::size_t next = 0;
    e.UncompressedSize = e.UncompressedField == 0xFFFFFFFFu ? values[next++] : e.UncompressedField;
    e.CompressedSize = e.CompressedField == 0xFFFFFFFFu ? values[next++] : e.CompressedField;
    e.HeaderOffset = e.OffsetField == 0xFFFFFFFFu ? values[next++] : e.OffsetField;
    return e;
}

void ReadLocal(TReader& r, TInspectedEntry& e) {
    r.Seek(e.HeaderOffset);
    if (r.U32() != 0x04034B50u) Fail("local header signature of " + e.Name);
    if (r.U16() != e.VersionNeeded) Fail("local version needed differs for " + e.Name);
    if (r.U16() != e.Flags) Fail("local flags differ for " + e.Name);
    if (r.U16() != e.Method) Fail("local method differs for " + e.Name);
    if (r.U32() != e.DosDateTime) Fail("local time differs for " + e.Name);
    if (r.U32() != e.Crc32) Fail("local CRC differs for " + e.Name);
    std::uint32_t compressed = r.U32();
    std::uint32_t uncompressed = r.U32();
    std::uint16_t name_length = r.U16();
    std::uint16_t extra_length = r.U16();
    if (r.Bytes(name_length) != e.Name) Fail("local name differs for " + e.Name);
    e.LocalExtra = r.Bytes(extra_length);
    std::uint64_t local_compressed = compressed;
    std::uint64_t local_uncompressed = uncompressed;
    if (compressed == 0xFFFFFFFFu || uncompressed == 0xFFFFFFFFu) {
        if (compressed != 0xFFFFFFFFu || uncompressed != 0xFFFFFFFFu) Fail("local Zip64 needs both sizes");
        std::vector<std::uint64_t> values = Zip64Values(e.LocalExtra, 2);
        local_uncompressed = values[0];
        local_compressed = values[1];
    } else if (!e.LocalExtra.empty()) {
        Fail("local extra field without Zip64 sizes for " + e.Name);
    }
    if (local_compressed != e.CompressedSize || local_uncompressed != e.UncompressedSize) {
        Fail("local sizes differ for " + e.Name);
    }
    e.Compressed = r.Bytes(e.CompressedSize);
}

}  // namespace

std::string InflateRaw(const std::string& compressed) {
    z_stream s{};
    if (inflateInit2(&s, -15) != Z_OK) Fail("inflateInit2");
    std::string out;
    std::string buffer(1 << 16, '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    s.avail_in = static_cast<uInt>(compressed.size());
    int result = Z_OK;
    while (result != Z_STREAM_END) {
        s.next_out = reinterpret_cast<Bytef*>(&buffer[0]);
        s.avail_out = static_cast<uInt>(buffer.size());
        result = inflate(&s, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END) {
            inflateEnd(&s);
            Fail("broken deflate stream");
        }
        out.append(buffer.data(), buffer.size() - s.avail_out);
        if (result == Z_OK && s.avail_in == 0 && s.avail_out != 0) {
            inflateEnd(&s);
            Fail("deflate stream ends early");
        }
    }
    const bool trailing = s.avail_in != 0;
    inflateEnd(&s);
    if (trailing) Fail("bytes after the end of the deflate stream");
    return out;
}

TInspectedArchive InspectZip(const std::string& bytes, std::uint64_t base, bool inflate) {
    TInspectedArchive a;
    TReader r(bytes, base);
    const std::uint64_t end = base + bytes.size();
    std::uint64_t entries = 0;
    ReadEnd(r, end, a, entries);
    const std::uint64_t directory_end = a.Zip64End ? end - 22 - 20 - 56 : end - 22;
    if (a.DirectoryOffset + a.DirectorySize != directory_end) Fail("central directory does not reach the end records");
    r.Seek(a.DirectoryOffset);
    for (std::uint64_t i = 0; i < entries; ++i) a.Entries.push_back(ReadCentral(r));
    if (r.Tell() != directory_end) Fail("central directory size disagrees with its entries");
    std::uint64_t expected_offset = base;
    for (TInspectedEntry& e : a.Entries) {
        if (e.HeaderOffset != expected_offset) Fail("entries are not back to back at " + e.Name);
        ReadLocal(r, e);
        expected_offset = r.Tell();
        if (!inflate) continue;
        e.Data = InflateRaw(e.Compressed);
        if (e.Data.size() != e.UncompressedSize) Fail("uncompressed size disagrees with the data of " + e.Name);
        uLong crc = crc32(0L, Z_NULL, 0);
        crc = crc32(crc, reinterpret_cast<const Bytef*>(e.Data.data()), static_cast<uInt>(e.Data.size()));
        if (crc != e.Crc32) Fail("CRC disagrees with the data of " + e.Name);
    }
    if (expected_offset != a.DirectoryOffset) Fail("gap before the central directory");
    return a;
}

}  // namespace vantrel_test
