#include "zip/zip_format.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

namespace vantrel {
namespace {

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

TZipHeaderInfo PlainEntry() {
    TZipHeaderInfo h;
    h.Flags = kFlagMaximumCompression;
    h.DosDateTime = 0x48A3613Bu;
    h.Crc32 = 0x11223344u;
    h.CompressedSize = 0x0102;
    h.UncompressedSize = 0x0304;
    h.ExternalAttributes = 0x21;
    h.HeaderOffset = 0x1234;
    h.Name = "a/b.txt";
    return h;
}

TEST(ZipRecords, LocalHeaderFieldByField) {
    EXPECT_EQ(Hex(LocalHeaderRecord(PlainEntry())),
              "50 4B 03 04 "  // signature
              "14 00 "        // version needed 20
              "02 00 "        // flags: maximum compression
              "08 00 "        // deflate
              "3B 61 A3 48 "  // time, date
              "44 33 22 11 "  // CRC
              "02 01 00 00 "  // compressed
              "04 03 00 00 "  // uncompressed
              "07 00 00 00 "  // name length, extra length
              "61 2F 62 2E 74 78 74");
}

TEST(ZipRecords, CentralHeaderFieldByField) {
    TZipHeaderInfo h = PlainEntry();
    h.VersionMadeBy = kVersionMadeByUtf8;
    h.Flags |= kFlagUtf8Name;
    EXPECT_EQ(Hex(CentralHeaderRecord(h)),
              "50 4B 01 02 "  // signature
              "2D 0B "        // made by 4.5, UTF-8 names
              "14 00 "        // needed 20
              "02 08 "        // flags
              "08 00 "
              "3B 61 A3 48 "
              "44 33 22 11 "
              "02 01 00 00 "
              "04 03 00 00 "
              "07 00 00 00 "  // name length, extra length
              "00 00 00 00 "  // comment length, disk start
              "00 00 "        // internal attributes
              "21 00 00 00 "  // external attributes
              "34 12 00 00 "  // local header offset
              "61 2F 62 2E 74 78 74");
}

struct Zip64Case {
    const char* what;
    std::uint64_t uncompressed, compressed, offset;
    bool local_zip64;
    const char* central_extra;  // hex of the central header's extra field
    const char* local_sizes;    // hex of the local header's two 32-bit size fields
    std::uint16_t version_needed;
};

TEST(ZipRecords, Zip64FieldsExactlyWhereValuesOverflow) {
    const Zip64Case cases[] = {
        {"nothing overflows", 0xFFFFFFFEu, 0xFFFFFFFEu, 0xFFFFFFFEu, false, "", "FE FF FF FF FE FF FF FF", 20},
        {"uncompressed size", 0x100000000ull, 0x10000, 0, true, "01 00 08 00 00 00 00 00 01 00 00 00",
         "FF FF FF FF FF FF FF FF", 45},
        {"exactly 0xFFFFFFFF overflows", 0xFFFFFFFFu, 0x20, 0, true, "01 00 08 00 FF FF FF FF 00 00 00 00",
         "FF FF FF FF FF FF FF FF", 45},
        {"both sizes", 0x100000001ull, 0x100000002ull, 0, true,
         "01 00 10 00 01 00 00 00 01 00 00 00 02 00 00 00 01 00 00 00", "FF FF FF FF FF FF FF FF", 45},
        {"offset only", 5, 7, 0x123456789ull, false, "01 00 08 00 89 67 45 23 01 00 00 00", "07 00 00 00 05 00 00 00",
         45},
        {"all three", 0x100000000ull, 0x100000001ull, 0x100000002ull, true,
         "01 00 18 00 00 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00 02 00 00 00 01 00 00 00",
         "FF FF FF FF FF FF FF FF", 45},
        {"reserved in the local header only", 0xFF000000u, 0xFF000010u, 0, true, "", "FF FF FF FF FF FF FF FF", 45},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TZipHeaderInfo h;
        h.UncompressedSize = c.uncompressed;
        h.CompressedSize = c.compressed;
        h.HeaderOffset = c.offset;
        h.LocalZip64 = c.local_zip64;
        h.Name = "n";
        h.VersionNeeded = VersionNeededFor(h);
        EXPECT_EQ(h.VersionNeeded, c.version_needed);

        const std::string central = CentralHeaderRecord(h);
        EXPECT_EQ(Hex(central.substr(kCentralHeaderSize + 1)), c.central_extra);
        EXPECT_EQ(static_cast<unsigned char>(central[30]), central.size() - kCentralHeaderSize - 1);
        EXPECT_EQ(Hex(central.substr(6, 2)), c.version_needed == 45 ? "2D 00" : "14 00");

        const std::string local = LocalHeaderRecord(h);
        EXPECT_EQ(Hex(local.substr(18, 8)), c.local_sizes);
        if (c.local_zip64) {
            std::string expected;
            PutU16(expected, 1);
            PutU16(expected, 16);
            PutU64(expected, c.uncompressed);
            PutU64(expected, c.compressed);
            EXPECT_EQ(Hex(local.substr(kLocalHeaderSize + 1)), Hex(expected));
        } else {
            EXPECT_EQ(local.size(), kLocalHeaderSize + 1);
        }
    }
}

TEST(ZipRecords, EmptyArchiveIsTheEndRecordAlone) {
    EXPECT_EQ(Hex(EndRecords(0, 0, 0)), "50 4B 05 06 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
}

struct EndCase {
    const char* what;
    std::uint64_t entries, size, offset;
    bool zip64;
    const char* end_fields;  // hex of entries (twice), size and offset in the end record
};

TEST(ZipRecords, Zip64EndRecordsWhenCountSizeOrOffsetOverflow) {
    const EndCase cases[] = {
        {"65534 entries fit", 65534, 0x10, 0x20, false, "FE FF FE FF 10 00 00 00 20 00 00 00"},
        {"65535 entries", 65535, 0x10, 0x20, true, "FF FF FF FF 10 00 00 00 20 00 00 00"},
        {"directory offset", 3, 0x10, 0x100000000ull, true, "03 00 03 00 10 00 00 00 FF FF FF FF"},
        {"directory size", 3, 0xFFFFFFFFu, 0x20, true, "03 00 03 00 FF FF FF FF 20 00 00 00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string end = EndRecords(c.entries, c.size, c.offset);
        ASSERT_EQ(end.size(), c.zip64 ? 56u + 20u + 22u : 22u);
        const std::string record = end.substr(end.size() - 22);
        EXPECT_EQ(Hex(record.substr(8, 12)), c.end_fields);
        if (!c.zip64) continue;
        std::string expected;
        PutU32(expected, kZip64EndOfCentralSignature);
        PutU64(expected, 44);
        PutU16(expected, 45);
        PutU16(expected, 45);
        PutU32(expected, 0);
        PutU32(expected, 0);
        PutU64(expected, c.entries);
        PutU64(expected, c.entries);
        PutU64(expected, c.size);
        PutU64(expected, c.offset);
        PutU32(expected, kZip64LocatorSignature);
        PutU32(expected, 0);
        PutU64(expected, c.offset + c.size);  // the Zip64 end record follows the directory
        PutU32(expected, 1);
        EXPECT_EQ(Hex(end.substr(0, 76)), Hex(expected));
    }
}

TEST(ZipRecords, DosDateTime) {
    struct Case {
        TDateTimeParts when;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {{2016, 3, 14, 8, 0, 0, 0}, (((2016u - 1980) << 9 | 3 << 5 | 14) << 16) | (8u << 11)},
        {{1980, 1, 1, 0, 0, 0, 0}, 0x00210000u},
        {{2107, 12, 31, 23, 59, 59, 999}, 0xFF9FBF7Du},  // odd seconds round down
        {{2024, 2, 29, 13, 45, 31, 0}, (((44u << 9) | (2 << 5) | 29) << 16) | (13u << 11 | 45u << 5 | 15u)},
        {{1979, 12, 31, 23, 59, 58, 0}, 0x00210000u},  // before the format's first day
        {{1601, 1, 1, 0, 0, 0, 0}, 0x00210000u},
        {{2108, 1, 1, 0, 0, 0, 0}, 0xFF9FBF7Du},  // after its last
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.when.Year);
        EXPECT_EQ(DosDateTime(c.when), c.expected);
    }
}

// A local header without a Zip64 field must hold every size an entry of up
// to the threshold can deflate to, incompressible data included.
TEST(ZipRecords, ThresholdLeavesRoomForDeflateExpansion) {
    EXPECT_FALSE(LocalHeaderReservesZip64(kLocalZip64Threshold - 1));
    EXPECT_TRUE(LocalHeaderReservesZip64(kLocalZip64Threshold));
    if (sizeof(uLong) < 8) GTEST_SKIP() << "zlib's size type has 32 bits here";
    z_stream s{};
    ASSERT_EQ(deflateInit2(&s, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    const std::uint64_t bound = deflateBound(&s, static_cast<uLong>(kLocalZip64Threshold));
    deflateEnd(&s);
    EXPECT_FALSE(NeedsZip64(bound));
}

}  // namespace
}  // namespace vantrel
