#include "zip/zip_archive.h"
#include "zip/zip_deflate.h"

#include "platform/base/crc32.h"
#include "support/zip_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <stdexcept>

namespace vantrel {
namespace {

using vantrel_test::InflateRaw;

const std::size_t P = kCutPieceSize;

// Serves `data` in reads of at most kZipPieceSize bytes.
class TStringReader : public TPieceReader {
public:
    explicit TStringReader(const std::string& data) : data_(data) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        if (size > kZipPieceSize) throw std::logic_error("piece larger than 65535 bytes");
        const std::size_t n = std::min(size, data_.size() - pos_);
        data_.copy(buffer, n, pos_);
        pos_ += n;
        return n;
    }

private:
    const std::string& data_;
    std::size_t pos_ = 0;
};

class TStringSink : public TChunkSink {
public:
    void Append(const char* data, std::size_t size) override { bytes.append(data, size); }
    std::string bytes;
};

std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(random());
    return s;
}

// Log lines with varied words and numbers, as a product writes them.
std::string VariedLog(std::size_t n, unsigned seed) {
    static const char* const words[] = {"sync",  "device",  "track",  "artwork", "commit", "retry", "0x80070005",
                                        "queue", "session", "handle", "catalog", "fetch",  "index", "ok"};
    std::mt19937 random(seed);
    auto pick = [&](unsigned below) { return static_cast<unsigned>(random() % below); };
    std::string s;
    char stamp[64];
    while (s.size() < n) {
        std::snprintf(stamp, sizeof stamp, "2016-03-14 %02u:%02u:%02u.%03u [%04x] ", pick(24), pick(60), pick(60),
                      pick(1000), pick(65536));
        s += stamp;
        s += words[pick(14)];
        s += " item " + std::to_string(pick(100000)) + " of " + std::to_string(pick(100000)) + ":";
        for (unsigned w = 2 + pick(6); w > 0; --w) s += std::string(" ") + words[pick(14)];
        s += "\r\n";
    }
    s.resize(n);
    return s;
}

std::string Deflated(const std::string& data) {
    TStringSink sink;
    TStringReader reader(data);
    PackMember(reader, 9, UINT64_MAX, sink);
    return sink.bytes;
}

struct CutCase {
    const char* what;
    std::size_t size;
    std::uint64_t limit;
};

// Every piece but the last holds 1 MiB; the dictionary is what came just
// before; the count and the CRC cover the bytes handed out.
TEST(PieceCutter, PiecesFollowTheDataAlone) {
    const CutCase cases[] = {
        {"empty", 0, UINT64_MAX},
        {"one byte", 1, UINT64_MAX},
        {"just under a piece", P - 1, UINT64_MAX},
        {"one piece exactly", P, UINT64_MAX},
        {"a byte more", P + 1, UINT64_MAX},
        {"three pieces and some", 3 * P + 70000, UINT64_MAX},
        {"limit at a piece end", 3 * P, 2 * P},
        {"limit a byte past it", 3 * P, P + 1},
    };
    const std::string all = RandomBytes(3 * P + 70000, 7);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string data = all.substr(0, c.size);
        const std::string expected = data.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(c.size, c.limit)));
        TStringReader reader(data);
        TPieceCutter cutter(reader, c.limit);
        std::string joined;
        TMemberPiece piece;
        do {
            cutter.Next(piece);
            const std::string bytes(piece.Data.begin(), piece.Data.end());
            const std::size_t dictionary = std::min(joined.size(), kCutDictionarySize);
            EXPECT_EQ(std::string(piece.Dictionary.begin(), piece.Dictionary.end()),
                      joined.substr(joined.size() - dictionary));
            if (!piece.Last) {
                EXPECT_EQ(bytes.size(), P);
            }
            joined += bytes;
            ASSERT_LE(joined.size(), expected.size());
        } while (!piece.Last);
        EXPECT_TRUE(joined == expected);
        EXPECT_EQ(cutter.Read(), expected.size());
        EXPECT_EQ(cutter.Crc32(), Crc32Update(kCrc32Initial, expected.data(), expected.size()));
    }
}

// The pieces' outputs join into one stream: a sync flush (an empty stored
// block, 00 00 FF FF) ends every piece but the last.
TEST(PieceCutter, DeflatedPiecesJoinIntoOneStream) {
    const std::string members[] = {"", VariedLog(P, 1), VariedLog(2 * P + 1, 2), RandomBytes(2 * P + 5, 3)};
    for (const std::string& data : members) {
        SCOPED_TRACE(data.size());
        TStringReader reader(data);
        TPieceCutter cutter(reader, UINT64_MAX);
        TStringSink joined;
        TMemberPiece piece;
        do {
            cutter.Next(piece);
            TStringSink one;
            DeflatePiece(piece, 9, one);
            if (!piece.Last) {
                EXPECT_EQ(one.bytes.substr(one.bytes.size() - 4), std::string("\0\0\xFF\xFF", 4));
            }
            joined.bytes += one.bytes;
        } while (!piece.Last);
        EXPECT_TRUE(InflateRaw(joined.bytes) == data);

        TStringReader again(data);
        TStringSink packed;
        const TPackedData result = PackMemberInPieces(again, 9, UINT64_MAX, packed);
        EXPECT_TRUE(packed.bytes == joined.bytes);
        EXPECT_EQ(result.Written, packed.bytes.size());
        EXPECT_EQ(result.Read, data.size());
    }
}

// With the previous piece's end as dictionary, cutting costs next to
// nothing; without it each piece would start from scratch.
TEST(PieceCutter, PrimedPiecesCompressAsWellAsOneStream) {
    const std::string data = VariedLog(4 * P, 5);
    const double whole = static_cast<double>(Deflated(data).size());
    TStringReader reader(data);
    TStringSink cut;
    PackMemberInPieces(reader, 9, UINT64_MAX, cut);
    EXPECT_LE(cut.bytes.size(), whole * 1.001);

    TStringReader again(data);
    TPieceCutter cutter(again, UINT64_MAX);
    TStringSink unprimed;
    TMemberPiece piece;
    do {
        cutter.Next(piece);
        piece.Dictionary.clear();
        DeflatePiece(piece, 9, unprimed);
    } while (!piece.Last);
    EXPECT_GT(unprimed.bytes.size(), whole * 1.001);
}

class TMemorySink : public TArchiveSink {
public:
    void Write(const void* data, std::size_t size) override { bytes.append(static_cast<const char*>(data), size); }
    std::uint64_t Size() const override { return bytes.size(); }
    void Overwrite(std::uint64_t offset, const void* data, std::size_t size) override {
        bytes.replace(static_cast<std::size_t>(offset), size, static_cast<const char*>(data), size);
    }
    void Truncate(std::uint64_t size) override { bytes.resize(static_cast<std::size_t>(size)); }
    std::string bytes;
};

struct ThresholdCase {
    const char* what;
    std::uint64_t provisional;  // the size when the file was opened
    std::size_t actual;
    bool cut;
};

// The size the file had when it was opened decides, whatever is then read.
TEST(ArchiveBuilder, LargeFilesAreCutWhenOpened) {
    const ThresholdCase cases[] = {
        {"at the threshold", kCutThreshold, kCutThreshold, false},
        {"a byte above", kCutThreshold + 1, kCutThreshold + 1, true},
        {"grew past it while read", 1000, 3 * P, false},
        {"shrank below it while read", 3 * P, 5000, true},
        {"emptied while read", 3 * P, 0, true},
    };
    const std::string all = VariedLog(3 * P, 9);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string data = all.substr(0, c.actual);
        TMemorySink sink;
        TArchiveBuilder builder(sink, 1);
        TStringReader reader(data);
        TMemberInfo member;
        member.Name = TEncodedName{"f", false};
        member.Size = c.provisional;
        builder.PackEntry(member, reader);
        builder.Finish();
        const auto archive = vantrel_test::InspectZip(sink.bytes);
        ASSERT_EQ(archive.Entries.size(), 1u);
        EXPECT_TRUE(archive.Entries[0].Data == data);
        TStringReader again(data);
        TStringSink expected;
        if (c.cut) {
            PackMemberInPieces(again, 1, UINT64_MAX, expected);
        } else {
            PackMember(again, 1, UINT64_MAX, expected);
        }
        EXPECT_TRUE(archive.Entries[0].Compressed == expected.bytes);
    }
}

}  // namespace
}  // namespace vantrel
