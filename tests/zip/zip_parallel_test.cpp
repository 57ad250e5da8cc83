// The parallel packer's coordination over the standard library's threads:
// natively under ThreadSanitizer (native-tsan), AddressSanitizer (native)
// and under Wine. Level 1 keeps the megabytes quick; the coordination is the
// same at every level.
#include "zip/zip_parallel.h"

#include "platform/base/errors.h"
#include "support/std_packer_sync.h"
#include "support/zip_reader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <random>
#include <stdexcept>

namespace vantrel {
namespace {

using vantrel_test::InspectZip;
using vantrel_test::TStdPackerSync;

const std::size_t P = kCutPieceSize;
const std::size_t kNoFailure = std::string::npos;

std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; i += 4) {
        const auto word = static_cast<std::uint32_t>(random());
        const std::size_t count = std::min<std::size_t>(4, n - i);
        s.replace(i, count, reinterpret_cast<const char*>(&word), count);
    }
    return s;
}

std::string LogText(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::string s;
    while (s.size() < n) {
        s += "2016-03-14 08:" + std::to_string(random() % 60) + " SyncEngine item " + std::to_string(random() % 9000) +
             " ok\r\n";
    }
    s.resize(n);
    return s;
}

struct TFakeFile {
    std::string Name;
    std::string Data;
    std::uint64_t Provisional = 0;  // the size when opened
    bool Missing = false;
    bool OpenFails = false;
    std::size_t FailAfter = kNoFailure;  // a read that would pass this many bytes fails
    bool PassedOver = false;             // and the failure passes the file over (EMemberUnreadable)
};

TFakeFile File(std::string name, std::string data) {
    TFakeFile f;
    f.Name = std::move(name);
    f.Data = std::move(data);
    f.Provisional = f.Data.size();
    return f;
}

// Serves a file's bytes in reads of at most kZipPieceSize; tells `watch`
// where each read starts.
class TFakeReader : public TPieceReader {
public:
    TFakeReader(const TFakeFile& file, const std::function<void(std::size_t)>& watch) : file_(file), watch_(watch) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        if (size > kZipPieceSize) throw std::logic_error("piece larger than 65535 bytes");
        if (watch_) watch_(pos_);
        const std::size_t n = std::min(size, file_.Data.size() - pos_);
        if (file_.FailAfter != kNoFailure && pos_ + n > file_.FailAfter) {
            if (file_.PassedOver) throw EMemberUnreadable("cannot be read to its end");
            throw EToolError("read failed");
        }
        file_.Data.copy(buffer, n, pos_);
        pos_ += n;
        return n;
    }

private:
    const TFakeFile& file_;
    const std::function<void(std::size_t)>& watch_;
    std::size_t pos_ = 0;
};

class TFakeFiles : public TMemberSource {
public:
    explicit TFakeFiles(std::vector<TFakeFile> files) : files_(std::move(files)) {}
    std::size_t Count() const override { return files_.size(); }
    std::unique_ptr<TPieceReader> Open(std::size_t index, TMemberInfo& member) override {
        if (BeforeOpen) BeforeOpen(index);
        const TFakeFile& f = files_[index];
        if (f.Missing) return nullptr;
        if (f.OpenFails) throw EToolError("open failed");
        member.Name = TEncodedName{f.Name, false};
        member.Attributes = 0x20;
        member.DosDateTime = 0x48A3613Bu;
        member.Size = f.Provisional;
        return std::make_unique<TFakeReader>(f, Watch);
    }
    const std::vector<TFakeFile>& Files() const { return files_; }
    // Called from the compressing threads; set before packing.
    std::function<void(std::size_t)> Watch;
    std::function<void(std::size_t)> BeforeOpen;

private:
    std::vector<TFakeFile> files_;
};

class TMemorySink : public TArchiveSink {
public:
    void Write(const void* data, std::size_t size) override {
        bytes.append(static_cast<const char*>(data), size);
        writes.fetch_add(1);
    }
    std::uint64_t Size() const override { return bytes.size(); }
    void Overwrite(std::uint64_t offset, const void* data, std::size_t size) override {
        bytes.replace(static_cast<std::size_t>(offset), size, static_cast<const char*>(data), size);
    }
    void Truncate(std::uint64_t size) override { bytes.resize(static_cast<std::size_t>(size)); }
    std::string bytes;
    std::atomic<std::size_t> writes{0};
};

std::string Sequential(TFakeFiles& files, int level) {
    TMemorySink sink;
    TArchiveBuilder builder(sink, level);
    PackSequentially(files, builder);
    builder.Finish();
    return sink.bytes;
}

std::string Parallel(TFakeFiles& files, int level, unsigned threads, std::size_t budget, unsigned startable = 64) {
    TMemorySink sink;
    TArchiveBuilder builder(sink, level);
    TStdPackerSync sync(startable);
    PackInParallel(files, builder, threads, budget, sync);
    builder.Finish();
    return sink.bytes;
}

// Whole files and cut ones (piece ends, files that changed size while read,
// one that vanished): what one thread writes.
std::vector<TFakeFile> MixedFolder() {
    std::vector<TFakeFile> files = {
        File("a.log", LogText(70000, 1)),
        File("cut.log", LogText(3 * P + 12345, 2)),
        File("missing", ""),
        File("empty", ""),
        File("cut-exact.bin", RandomBytes(3 * P, 3)),
        File("small.bin", RandomBytes(200000, 4)),
        File("shrank.log", LogText(100000, 5)),
        File("grew.log", LogText(2 * P + 100, 6)),
        File("cut-grew.bin", RandomBytes(3 * P, 7)),
        File("tail.txt", "end"),
    };
    files[2].Missing = true;
    files[6].Provisional = 4 * P;  // cut, one piece read
    files[7].Provisional = 1000;   // deflated whole
    files[8].Provisional = kCutThreshold + 1;
    return files;
}

struct ThreadCase {
    unsigned threads;
    std::size_t budget;
};

TEST(ParallelPacker, ArchiveIsTheSameWhateverTheThreadsAndTheBudget) {
    TFakeFiles files(MixedFolder());
    const std::string expected = Sequential(files, 1);
    const auto archive = InspectZip(expected);
    ASSERT_EQ(archive.Entries.size(), files.Count() - 1);
    for (const auto& e : archive.Entries) {
        for (const auto& f : files.Files()) {
            if (f.Name == e.Name) {
                EXPECT_TRUE(e.Data == f.Data) << e.Name;
            }
        }
    }
    const ThreadCase cases[] = {{2, 32u << 20}, {2, 100000}, {3, 1}, {8, 3u << 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.threads) + " threads, budget " + std::to_string(c.budget));
        EXPECT_TRUE(Parallel(files, 1, c.threads, c.budget) == expected);
    }
}

// Threads that cannot all be started: fewer pack the same archive; none
// leaves the packing to the calling thread.
TEST(ParallelPacker, FewerThreadsThanAsked) {
    TFakeFiles files(MixedFolder());
    const std::string expected = Sequential(files, 1);
    for (unsigned startable : {0u, 1u}) {
        SCOPED_TRACE(startable);
        EXPECT_TRUE(Parallel(files, 1, 4, 1u << 20, startable) == expected);
    }
}

struct FailureCase {
    const char* what;
    std::size_t failing;  // index in the folder below
    void (*spoil)(TFakeFile& file);
    int level;
    const char* message;
};

// A failure in any file reaches the caller as packing one file at a time
// raises it, also while the other threads wait for the budget.
TEST(ParallelPacker, FailuresReachTheCaller) {
    const FailureCase cases[] = {
        {"read error in a cut file", 1, [](TFakeFile& f) { f.FailAfter = P + 500; }, 1, "read failed"},
        {"read error in a whole file", 0, [](TFakeFile& f) { f.FailAfter = 1000; }, 1, "read failed"},
        {"file that cannot be opened", 1, [](TFakeFile& f) { f.OpenFails = true; }, 1, "open failed"},
        {"zlib refuses the level", 1, [](TFakeFile&) {}, 10, "error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<TFakeFile> folder = {File("whole.log", LogText(300000, 1)), File("cut.bin", RandomBytes(3 * P, 2))};
        for (int i = 0; i < 4; ++i) folder.push_back(File("later" + std::to_string(i), RandomBytes(2 * P + 1, 10 + i)));
        c.spoil(folder[c.failing]);
        TFakeFiles files(folder);
        auto raised = [&](const std::function<void()>& pack) {
            try {
                pack();
            } catch (const EToolError& e) {
                return std::string(e.what());
            }
            return std::string("nothing");
        };
        EXPECT_EQ(raised([&] { Sequential(files, c.level); }), c.message);
        for (const ThreadCase& t : {ThreadCase{2, 32u << 20}, ThreadCase{8, 1}}) {
            SCOPED_TRACE(t.threads);
            EXPECT_EQ(raised([&] { Parallel(files, c.level, t.threads, t.budget); }), c.message);
        }
    }
}

// A file whose read fails and which is to be passed over leaves nothing of
// itself: the archive is the one of the other files, whether the failure
// comes before anything of it was written or after some of its pieces, and
// whatever the threads and the budget.
TEST(ParallelPacker, AnUnreadableFileIsPassedOverWithoutATrace) {
    struct Case {
        const char* what;
        std::size_t failing;
        std::size_t fail_after;
    };
    const Case cases[] = {
        {"a whole file, on its first read", 1, 0},
        {"a whole file, after a part", 1, 20000},
        {"a cut file, after some pieces", 2, 2 * P + 500},
        {"the last file", 4, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<TFakeFile> folder = {File("first.log", LogText(70000, 1)), File("whole.log", LogText(300000, 2)),
                                         File("cut.bin", RandomBytes(4 * P, 3)), File("later.bin", RandomBytes(P, 4)),
                                         File("last.log", LogText(5000, 5))};
        std::vector<TFakeFile> without = folder;
        without.erase(without.begin() + static_cast<std::ptrdiff_t>(c.failing));
        folder[c.failing].FailAfter = c.fail_after;
        folder[c.failing].PassedOver = true;
        TFakeFiles files(folder);
        TFakeFiles others(without);
        const std::string expected = Sequential(others, 1);
        EXPECT_TRUE(Sequential(files, 1) == expected);
        for (const ThreadCase& t : {ThreadCase{2, 32u << 20}, ThreadCase{3, 1}, ThreadCase{8, 3u << 20}}) {
            SCOPED_TRACE(t.threads);
            EXPECT_TRUE(Parallel(files, 1, t.threads, t.budget) == expected);
        }
    }
}

// The thread reading a cut file stays a few pieces ahead of the writer: 2 MiB
// of budget allows two pieces read and not yet written.
TEST(ParallelPacker, CutFileIsReadAFewPiecesAheadOfTheWriter) {
    TFakeFiles files({File("big.bin", RandomBytes(12 * P, 1))});
    TMemorySink sink;
    std::atomic<long> lead{0};
    // The archive gets the local header, then one write per piece.
    files.Watch = [&](std::size_t pos) {
        const long written = std::max(0L, static_cast<long>(sink.writes.load()) - 1);
        const long ahead = static_cast<long>(pos / P) - written;
        long seen = lead.load();
        while (ahead > seen && !lead.compare_exchange_weak(seen, ahead)) {}
    };
    TArchiveBuilder builder(sink, 1);
    TStdPackerSync sync;
    PackInParallel(files, builder, 2, 2u << 20, sync);
    builder.Finish();
    EXPECT_GE(lead.load(), 1);
    // Two pieces waiting, the one being read, and its byte read ahead.
    EXPECT_LE(lead.load(), 3);
    EXPECT_TRUE(InspectZip(sink.bytes).Entries.at(0).Data == files.Files()[0].Data);
}

// A thread that finds nothing to do while the only file is still being
// opened waits for its pieces instead of ending.
TEST(ParallelPacker, IdleThreadWaitsForAFileBeingOpened) {
    TFakeFiles files({File("big.bin", RandomBytes(3 * P, 1))});
    TStdPackerSync sync;
    unsigned ended_while_opening = 0;
    files.BeforeOpen = [&](std::size_t) {
        // The other thread has nothing to claim: it sleeps, or ends.
        sync.WaitFor([&](unsigned asleep, unsigned ended) {
            ended_while_opening = ended;
            return asleep + ended > 0;
        });
    };
    TMemorySink sink;
    TArchiveBuilder builder(sink, 1);
    PackInParallel(files, builder, 2, 32u << 20, sync);
    builder.Finish();
    EXPECT_EQ(ended_while_opening, 0u);
    EXPECT_TRUE(InspectZip(sink.bytes).Entries.at(0).Data == files.Files()[0].Data);
}

}  // namespace
}  // namespace vantrel
