#include "zip/zip_archive.h"

#include "platform/base/errors.h"
#include "support/zip_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

namespace vantrel {
namespace {

using vantrel_test::InspectZip;
using vantrel_test::TInspectedArchive;

// An archive in memory whose first byte stands at file offset `base`.
class TMemorySink : public TArchiveSink {
public:
    explicit TMemorySink(std::uint64_t base = 0) : base_(base) {}
    void Write(const void* data, std::size_t size) override { bytes_.append(static_cast<const char*>(data), size); }
    std::uint64_t Size() const override { return base_ + bytes_.size(); }
    void Overwrite(std::uint64_t offset, const void* data, std::size_t size) override {
        if (offset < base_ || offset - base_ + size > bytes_.size()) throw std::logic_error("overwrite out of range");
        bytes_.replace(static_cast<std::size_t>(offset - base_), size, static_cast<const char*>(data), size);
    }
    void Truncate(std::uint64_t size) override {
        if (size < base_ || size - base_ > bytes_.size()) throw std::logic_error("truncate out of range");
        bytes_.resize(static_cast<std::size_t>(size - base_));
    }
    const std::string& Bytes() const { return bytes_; }

private:
    std::uint64_t base_;
    std::string bytes_;
};

// Serves `data`, then the end; with `fail_after` set, a read that would pass
// that many bytes fails instead.
class TStringReader : public TPieceReader {
public:
    explicit TStringReader(std::string data, std::size_t fail_after = std::string::npos)
        : data_(std::move(data)), fail_after_(fail_after) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        if (size > kZipPieceSize) throw std::logic_error("piece larger than 65535 bytes");
        std::size_t n = std::min(size, data_.size() - pos_);
        if (fail_after_ != std::string::npos && pos_ + n > fail_after_) throw EToolError("read failed");
        data_.copy(buffer, n, pos_);
        pos_ += n;
        return n;
    }

private:
    std::string data_;
    std::size_t fail_after_;
    std::size_t pos_ = 0;
};

// Never ends.
class TEndlessReader : public TPieceReader {
public:
    std::size_t Read(char* buffer, std::size_t size) override {
        std::fill(buffer, buffer + size, 'z');
        return size;
    }
};

TMemberInfo Member(const std::string& name, std::uint64_t size, bool utf8 = false) {
    TMemberInfo m;
    m.Name = TEncodedName{name, utf8};
    m.Attributes = 0x20;
    m.DosDateTime = 0x48A3613Bu;
    m.Size = size;
    return m;
}

std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(random());
    return s;
}

std::string LogText(std::size_t n) {
    std::string s;
    for (int line = 0; s.size() < n; ++line)
        s += "2016-03-14 08:00:" + std::to_string(line % 60) + " INFO sync step\r\n";
    s.resize(n);
    return s;
}

TEST(ArchiveBuilder, OneReportFile) {
    TMemorySink sink;
    TArchiveBuilder builder(sink, 9);
    const std::string report = "\xFF\xFE" + std::string("V\0e\0r\0s\0i\0o\0n\0:\0", 16);
    TStringReader reader(report);
    builder.PackEntry(Member("Vantrel_Debug_Info.txt", report.size()), reader);
    builder.Finish();
    ASSERT_EQ(builder.Count(), 1u);

    TInspectedArchive a = InspectZip(sink.Bytes());
    ASSERT_EQ(a.Entries.size(), 1u);
    const auto& e = a.Entries[0];
    EXPECT_EQ(e.Name, "Vantrel_Debug_Info.txt");
    EXPECT_EQ(e.Method, 8);
    EXPECT_EQ(e.Flags, 0x0002);
    EXPECT_EQ(e.VersionNeeded, 20);
    EXPECT_EQ(e.VersionMadeBy, 0x002D);
    EXPECT_EQ(e.InternalAttributes, 0);
    EXPECT_EQ(e.ExternalAttributes, 0x20u);
    EXPECT_EQ(e.DosDateTime, 0x48A3613Bu);
    EXPECT_EQ(e.HeaderOffset, 0u);
    EXPECT_EQ(e.Data, report);
    EXPECT_TRUE(e.LocalExtra.empty());
    EXPECT_TRUE(e.CentralExtra.empty());
    EXPECT_FALSE(a.Zip64End);
    EXPECT_EQ(a.EndEntries, 1);
    EXPECT_EQ(sink.Bytes().size(), 30 + 22 + e.CompressedSize + 46 + 22 + 22);
}

TEST(ArchiveBuilder, EmptyFileIsTheTwoByteFinalBlock) {
    TMemorySink sink;
    TArchiveBuilder builder(sink, 9);
    TStringReader reader("");
    builder.PackEntry(Member("empty.log", 0), reader);
    builder.Finish();
    TInspectedArchive a = InspectZip(sink.Bytes());
    ASSERT_EQ(a.Entries.size(), 1u);
    EXPECT_EQ(a.Entries[0].Crc32, 0u);
    EXPECT_EQ(a.Entries[0].UncompressedSize, 0u);
    EXPECT_EQ(a.Entries[0].CompressedSize, 2u);
    EXPECT_EQ(a.Entries[0].Compressed, std::string("\x03\x00", 2));
}

TEST(ArchiveBuilder, NoEntriesGiveTheEndRecordAlone) {
    TMemorySink sink;
    TArchiveBuilder builder(sink, 9);
    builder.Finish();
    EXPECT_EQ(sink.Bytes(), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
}

// Sizes around the piece and buffer boundaries, compressible and not.
TEST(ArchiveBuilder, MembersOfEverySizeInflateToTheirBytes) {
    const std::string members[] = {
        "",
        "x",
        LogText(65534),
        LogText(65535),
        LogText(65536),
        LogText(3 * 65535 + 7),
        RandomBytes(65535, 1),
        RandomBytes(200000, 2),  // deflates to more than one output buffer
        LogText(1 << 20),
    };
    TMemorySink sink;
    TArchiveBuilder builder(sink, 9);
    for (std::size_t i = 0; i < std::size(members); ++i) {
        TStringReader reader(members[i]);
        builder.PackEntry(Member("m" + std::to_string(i), members[i].size()), reader);
    }
    builder.Finish();
    TInspectedArchive a = InspectZip(sink.Bytes());
    ASSERT_EQ(a.Entries.size(), std::size(members));
    for (std::size_t i = 0; i < std::size(members); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(a.Entries[i].Data, members[i]);
    }
}

// The provisional size is what the file said when it was opened; the entry
// records what was read.
TEST(ArchiveBuilder, EntryRecordsTheBytesActuallyRead) {
    struct Case {
        const char* what;
        std::uint64_t provisional;
        std::size_t actual;
    };
    const Case cases[] = {{"shrank", 100000, 600}, {"grew", 10, 70000}, {"emptied", 5000, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TMemorySink sink;
        TArchiveBuilder builder(sink, 9);
        const std::string data = LogText(c.actual);
        TStringReader reader(data);
        builder.PackEntry(Member("f", c.provisional), reader);
        builder.Finish();
        TInspectedArchive a = InspectZip(sink.Bytes());
        ASSERT_EQ(a.Entries.size(), 1u);
        EXPECT_EQ(a.Entries[0].Data, data);
    }
}

TEST(ArchiveBuilder, ReadErrorEndsPackingWithoutListingTheEntry) {
    TMemorySink sink;
    TArchiveBuilder builder(sink, 9);
    TStringReader good("fine");
    builder.PackEntry(Member("good", 4), good);
    TStringReader bad(LogText(300000), 150000);
    EXPECT_THROW(builder.PackEntry(Member("bad", 300000), bad), EToolError);
    EXPECT_EQ(builder.Count(), 1u);
}

TEST(ArchiveBuilder, PackingStopsAtTheLimit) {
    struct TDiscard : TChunkSink {
        std::string bytes;
        void Append(const char* data, std::size_t size) override { bytes.append(data, size); }
    } sink;
    TEndlessReader reader;
    TPackedData packed = PackMember(reader, 9, 100000, sink);
    EXPECT_EQ(packed.Read, 100000u);
    EXPECT_EQ(packed.Written, sink.bytes.size());
    EXPECT_EQ(vantrel_test::InflateRaw(sink.bytes), std::string(100000, 'z'));
}

TEST(ArchiveBuilder, Utf8NamesCarryTheirFlagAndHostOthersKeepTheirs) {
    TMemorySink sink;
    TArchiveBuilder builder(sink, 9);
    TStringReader r1("a"), r2("b"), r3("c");
    builder.PackEntry(Member("plain.txt", 1), r1);
    builder.PackEntry(Member("\xE6\x97\xA5.txt", 1, true), r2);
    builder.PackEntry(Member("Caf\x82.txt", 1), r3);
    builder.Finish();
    TInspectedArchive a = InspectZip(sink.Bytes());
    ASSERT_EQ(a.Entries.size(), 3u);
    const std::uint16_t made_by[] = {0x002D, 0x0B2D, 0x002D};
    const std::uint16_t flags[] = {0x0002, 0x0802, 0x0002};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(a.Entries[i].VersionMadeBy, made_by[i]);
        EXPECT_EQ(a.Entries[i].Flags, flags[i]);
    }
}

TEST(ArchiveBuilder, LevelsUpToSevenLeaveTheMaximumCompressionFlagOff) {
    TMemorySink sink;
    TArchiveBuilder builder(sink, 6);
    TStringReader reader(LogText(1000));
    builder.PackEntry(Member("a", 1000), reader);
    builder.Finish();
    EXPECT_EQ(InspectZip(sink.Bytes()).Entries.at(0).Flags, 0);
}

// The archive starts just below 4 GiB into its file, so the second entry's
// offset and the central directory's need Zip64.
TEST(ArchiveBuilder, OffsetsBeyondFourGibibytes) {
    const std::uint64_t base = 0xFFFFFF00u;
    TMemorySink sink(base);
    TArchiveBuilder builder(sink, 9);
    const std::string data = RandomBytes(1000, 3);
    TStringReader r1(data), r2(data);
    builder.PackEntry(Member("first", 1000), r1);
    builder.PackEntry(Member("second", 1000), r2);
    builder.Finish();
    TInspectedArchive a = InspectZip(sink.Bytes(), base);
    ASSERT_EQ(a.Entries.size(), 2u);
    EXPECT_EQ(a.Entries[0].VersionNeeded, 20);
    EXPECT_EQ(a.Entries[0].OffsetField, base);
    EXPECT_EQ(a.Entries[1].VersionNeeded, 45);
    EXPECT_EQ(a.Entries[1].OffsetField, 0xFFFFFFFFu);
    EXPECT_GT(a.Entries[1].HeaderOffset, 0xFFFFFFFFu);
    EXPECT_EQ(a.Entries[1].Data, data);
    EXPECT_TRUE(a.Zip64End);
    EXPECT_EQ(a.EndDirectoryOffset, 0xFFFFFFFFu);
    EXPECT_EQ(a.EndEntries, 2);
}

// A file that was near 4 GiB when opened reserves the local Zip64 field; it
// keeps it even when far fewer bytes were read.
TEST(ArchiveBuilder, ReservedLocalZip64FieldHoldsTheRealSizes) {
    TMemorySink sink;
    TArchiveBuilder builder(sink, 9);
    TStringReader reader("now small");
    builder.PackEntry(Member("was-big", kLocalZip64Threshold), reader);
    builder.Finish();
    TInspectedArchive a = InspectZip(sink.Bytes());
    ASSERT_EQ(a.Entries.size(), 1u);
    const auto& e = a.Entries[0];
    EXPECT_EQ(e.VersionNeeded, 45);
    EXPECT_EQ(e.LocalExtra.size(), 20u);
    EXPECT_TRUE(e.CentralExtra.empty());
    EXPECT_EQ(e.Data, "now small");
}

}  // namespace
}  // namespace vantrel
