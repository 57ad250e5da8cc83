#include "zip/zip_parallel.h"

#include <algorithm>
#include <deque>
#include <exception>
#include <vector>

namespace vantrel {

namespace {

// Raised inside a compressing thread when the packing is abandoned.
struct EStopped {};

enum class TJobState { Waiting, Opened, Done, Skipped, Failed };

enum class TPieceState { Ready, Deflating, Deflated };

// A piece of a cut file between its read and its write.
struct TPieceSlot {
    TPieceState State = TPieceState::Ready;
    TMemberPiece Piece;        // the input, released once deflated
    std::vector<char> Output;  // the deflated bytes
    std::size_t Held = 0;      // bytes of it counted in the buffer total
};

// One selected file on its way from the compressing threads to the archive.
struct TJob {
    TJobState State = TJobState::Waiting;
    TMemberInfo Member;
    bool InPieces = false;
    // A file deflated whole: its compressed bytes not yet written.
    std::vector<std::vector<char>> Chunks;
    std::size_t Queued = 0;
    // A cut file: its pieces from the first not yet written. The thread that
    // opened the file reads them all, and is at work while Cutting.
    std::deque<TPieceSlot> Pieces;
    bool Cutting = false;
    bool AllRead = false;
    TPackedData Packed;
    std::exception_ptr Error;
};

class TSyncLock {
public:
    explicit TSyncLock(TPackerSync& sync) : sync_(sync) { sync_.Lock(); }
    ~TSyncLock() { sync_.Unlock(); }
    TSyncLock(const TSyncLock&) = delete;
    TSyncLock& operator=(const TSyncLock&) = delete;

private:
    TPackerSync& sync_;
};

class TVectorSink : public TChunkSink {
public:
    explicit TVectorSink(std::vector<char>& out) : out_(out) {}
    void Append(const char* data, std::size_t size) override { out_.insert(out_.end(), data, data + size); }

private:
    std::vector<char>& out_;
};

// What a compressing thread does next.
struct TWork {
    enum { Stop, Piece, File } Kind = Stop;
    std::size_t Index = 0;
    TPieceSlot* Slot = nullptr;
};

// The writer (the calling thread, party 0) and the compressing threads share
// the jobs under one lock. Threads claim files in order. A file deflated
// whole is deflated by the thread that claimed it; a cut file is read by the
// thread that claimed it, and its pieces are deflated by any thread, the
// earliest piece first. Every claimed file thus has a thread that can go on
// with it as soon as the writer takes its output, which keeps the packing
// moving whatever the budget. A waiter checks its condition again after
// every wake-up.
class TParallelPacker {
public:
    TParallelPacker(TMemberSource& members, int level, unsigned threads, std::size_t budget, TPackerSync& sync)
        : members_(members),
          level_(level),
          threads_(threads),
          budget_(budget),
          window_(std::min<std::size_t>(2 * std::size_t{threads}, std::max<std::size_t>(2, budget / kCutPieceSize))),
          sync_(sync),
          jobs_(members.Count()) {}
    ~TParallelPacker() { StopAndJoin(); }
    TParallelPacker(const TParallelPacker&) = delete;
    TParallelPacker& operator=(const TParallelPacker&) = delete;

    // Starts the compressing threads; returns how many run.
    unsigned Start() { return started_ = sync_.Start(threads_, WorkerMain, this); }
    // Writes every file into `builder` in order.
    void WriteAll(TArchiveBuilder& builder);
    // A compressing thread's output for file `index`, deflated whole.
    void AppendChunk(std::size_t index, unsigned party, const char* data, std::size_t size);

private:
    static void WorkerMain(void* packer, unsigned party);
    void Work(unsigned party);
    TWork NextWork(unsigned party);
    TPieceSlot* EarliestReadyPiece(std::size_t& index);
    void PackFile(std::size_t index, unsigned party);
    void DeflateWhole(std::size_t index, TPieceReader& reader, std::uint64_t limit, unsigned party);
    void Cut(std::size_t index, TPieceReader& reader, std::uint64_t limit, unsigned party);
    bool CutStep(std::size_t index, TPieceCutter& cutter, unsigned party);
    void EndCut(std::size_t index);
    void DeflateSlot(std::size_t index, TPieceSlot& slot);
    bool MustWait(const TJob& job, bool is_current, std::size_t size) const;
    bool MayRead(std::size_t index, const TJob& job) const;
    void WriteOne(std::size_t index, TArchiveBuilder& builder);
    void WriteMember(std::size_t index, TArchiveBuilder& builder);
    void DropJob(std::size_t index);
    TPackedData WriteWhole(std::size_t index, TArchiveBuilder& builder);
    TPackedData WriteCut(std::size_t index, TArchiveBuilder& builder);
    void ThrowIfFailed(const TJob& job) const;
    void StopAndJoin();

    // The caller holds the lock.
    static std::vector<char> TakeSpare(std::vector<std::vector<char>>& spares);
    void KeepSpare(std::vector<std::vector<char>>& spares, std::vector<char>& buffer);

    void WakeWriter() { sync_.Wake(0); }
    void WakeWorkers() {
        for (unsigned party = 1; party <= threads_; ++party) sync_.Wake(party);
    }

    TMemberSource& members_;
    const int level_;
    const unsigned threads_;
    const std::size_t budget_;
    const std::size_t window_;  // pieces of the file being written held at most
    TPackerSync& sync_;
    unsigned started_ = 0;  // changed by the writer only

    // Under the lock:
    std::vector<std::unique_ptr<TJob>> jobs_;  // from its claim until written
    std::vector<std::size_t> cutting_;         // cut files still being read, in order
    std::size_t next_ = 0;                     // the next file to claim
    std::size_t opening_ = 0;                  // files claimed and not yet opened
    std::size_t current_ = 0;                  // the file being written
    std::size_t buffered_ = 0;                 // bytes held in the chunks and pieces of all jobs
    // Buffers of pieces done with, for the next pieces: a large block
    // allocated afresh for every piece costs the system a mapping and page
    // faults each time.
    std::vector<std::vector<char>> spare_inputs_;
    std::vector<std::vector<char>> spare_outputs_;
    bool stop_ = false;
    std::exception_ptr failure_;  // a compressing thread ended early
};

// The sink of a whole file's compressed bytes inside a compressing thread.
class TJobSink : public TChunkSink {
public:
    TJobSink(TParallelPacker& packer, std::size_t index, unsigned party)
        : packer_(packer), index_(index), party_(party) {}
    void Append(const char* data, std::size_t size) override { packer_.AppendChunk(index_, party_, data, size); }

private:
    TParallelPacker& packer_;
    std::size_t index_;
    unsigned party_;
};

void TParallelPacker::WorkerMain(void* packer, unsigned party) {
    auto& self = *static_cast<TParallelPacker*>(packer);
    try {
        self.Work(party);
    } catch (const EStopped&) {
    } catch (...) {
        // Outside any one file (out of memory): the writer gives up.
        TSyncLock lock(self.sync_);
        if (!self.failure_) self.failure_ = std::current_exception();
        self.WakeWriter();
    }
}

void TParallelPacker::Work(unsigned party) {
    while (true) {
        const TWork work = NextWork(party);
        if (work.Kind == TWork::Stop) return;
        if (work.Kind == TWork::Piece) {
            DeflateSlot(work.Index, *work.Slot);
        } else {
            PackFile(work.Index, party);
        }
    }
}

TWork TParallelPacker::NextWork(unsigned party) {
    TSyncLock lock(sync_);
    while (true) {
        TWork work;
        if (stop_) return work;
        if ((work.Slot = EarliestReadyPiece(work.Index)) != nullptr) {
            work.Slot->State = TPieceState::Deflating;
            work.Kind = TWork::Piece;
            return work;
        }
        if (next_ < jobs_.size()) {
            work.Index = next_++;
            ++opening_;
            jobs_[work.Index].reset(new TJob);
            work.Kind = TWork::File;
            return work;
        }
        // Pieces come only from files still being read, or about to be.
        if (cutting_.empty() && opening_ == 0) return work;
        sync_.Sleep(party);
    }
}

TPieceSlot* ReadyPiece(TJob& job) {
    if (job.State == TJobState::Failed) return nullptr;
    for (TPieceSlot& slot : job.Pieces) {
        if (slot.State == TPieceState::Ready) return &slot;
    }
    return nullptr;
}

bool HasReadyPiece(TJob& job) { return ReadyPiece(job) != nullptr; }

TPieceSlot* TParallelPacker::EarliestReadyPiece(std::size_t& index) {
    for (std::size_t i : cutting_) {
        if (TPieceSlot* slot = ReadyPiece(*jobs_[i])) {
            index = i;
            return slot;
        }
    }
    return nullptr;
}

void TParallelPacker::PackFile(std::size_t index, unsigned party) {
    std::unique_ptr<TPieceReader> reader;
    TMemberInfo member;
    std::exception_ptr error;
    try {
        reader = members_.Open(index, member);
    } catch (...) {
        error = std::current_exception();
    }
    const bool in_pieces = PacksInPieces(member.Size);
    {
        TSyncLock lock(sync_);
        TJob& job = *jobs_[index];
        --opening_;
        WakeWriter();
        // Once every file is claimed, threads without work wait for the
        // files being opened: a cut file brings pieces, else they end.
        if (next_ == jobs_.size()) WakeWorkers();
        if (error || !reader) {
            job.Error = error;
            job.State = error ? TJobState::Failed : TJobState::Skipped;
            return;
        }
        job.Member = member;
        job.InPieces = in_pieces;
        job.State = TJobState::Opened;
        if (in_pieces) {
            job.Cutting = true;
            cutting_.insert(std::lower_bound(cutting_.begin(), cutting_.end(), index), index);
        }
    }
    const std::uint64_t limit = ReadLimitFor(member.Size);
    if (in_pieces) {
        Cut(index, *reader, limit, party);
    } else {
        DeflateWhole(index, *reader, limit, party);
    }
}

void TParallelPacker::DeflateWhole(std::size_t index, TPieceReader& reader, std::uint64_t limit, unsigned party) {
    TPackedData packed;
    std::exception_ptr error;
    try {
        TJobSink sink(*this, index, party);
        packed = PackMember(reader, level_, limit, sink);
    } catch (const EStopped&) {
        throw;
    } catch (...) {
        error = std::current_exception();
    }
    TSyncLock lock(sync_);
    TJob& job = *jobs_[index];
    job.Packed = packed;
    job.Error = error;
    job.State = error ? TJobState::Failed : TJobState::Done;
    WakeWriter();
}

bool TParallelPacker::MustWait(const TJob& job, bool is_current, std::size_t size) const {
    // The file being written waits only for the writer to take what it
    // queued; a file ahead waits for the whole budget. Each may always add
    // to an empty queue, so every thread makes progress.
    if (is_current) return job.Queued > 0 && job.Queued + size > budget_ / 4;
    return buffered_ > 0 && buffered_ + size > budget_;
}

void TParallelPacker::AppendChunk(std::size_t index, unsigned party, const char* data, std::size_t size) {
    std::vector<char> chunk(data, data + size);
    TSyncLock lock(sync_);
    TJob& job = *jobs_[index];
    while (!stop_ && MustWait(job, index == current_, size)) sync_.Sleep(party);
    if (stop_) throw EStopped();
    job.Chunks.push_back(std::move(chunk));
    job.Queued += size;
    buffered_ += size;
    if (index == current_) WakeWriter();
}

void TParallelPacker::Cut(std::size_t index, TPieceReader& reader, std::uint64_t limit, unsigned party) {
    TPieceCutter cutter(reader, limit);
    try {
        while (CutStep(index, cutter, party)) {}
    } catch (const EStopped&) {
        throw;
    } catch (...) {
        TSyncLock lock(sync_);
        TJob& job = *jobs_[index];
        if (job.State != TJobState::Failed) {
            job.Error = std::current_exception();
            job.State = TJobState::Failed;
        }
        EndCut(index);
    }
}

bool TParallelPacker::MayRead(std::size_t index, const TJob& job) const {
    if (job.AllRead || job.Pieces.size() >= window_) return false;
    if (index == current_) return true;
    return buffered_ == 0 || buffered_ + kCutPieceSize <= budget_;
}

// One step of the thread that reads a cut file: read its next piece while
// the window and the budget allow, else deflate the earliest ready piece,
// else wait. Returns false once the file is read and no piece waits.
bool TParallelPacker::CutStep(std::size_t index, TPieceCutter& cutter, unsigned party) {
    TPieceSlot* slot = nullptr;
    std::size_t slot_index = 0;
    TMemberPiece piece;
    {
        TSyncLock lock(sync_);
        TJob& job = *jobs_[index];
        while (true) {
            if (stop_) throw EStopped();
            if (job.State == TJobState::Failed) {
                EndCut(index);
                return false;
            }
            if (MayRead(index, job)) {
                piece.Data = TakeSpare(spare_inputs_);
                break;
            }
            if (job.AllRead && !HasReadyPiece(job)) {
                EndCut(index);
                return false;
            }
            // Deflating never waits, so this thread may as well take a piece
            // of an earlier file.
            if ((slot = EarliestReadyPiece(slot_index)) != nullptr) {
                slot->State = TPieceState::Deflating;
                break;
            }
            sync_.Sleep(party);
        }
    }
    if (slot != nullptr) {
        DeflateSlot(slot_index, *slot);
        return true;
    }
    cutter.Next(piece);
    TSyncLock lock(sync_);
    TJob& job = *jobs_[index];
    job.Pieces.emplace_back();
    TPieceSlot& added = job.Pieces.back();
    added.Held = piece.Data.size();
    added.Piece = std::move(piece);
    buffered_ += added.Held;
    if (added.Piece.Last) {
        job.AllRead = true;
        job.Packed.Crc32 = cutter.Crc32();
        job.Packed.Read = cutter.Read();
    }
    WakeWorkers();
    return true;
}

// The reading thread is done with the file `index`; the caller holds the
// lock.
void TParallelPacker::EndCut(std::size_t index) {
    jobs_[index]->Cutting = false;
    cutting_.erase(std::find(cutting_.begin(), cutting_.end(), index));
    WakeWriter();
    WakeWorkers();
}

void TParallelPacker::DeflateSlot(std::size_t index, TPieceSlot& slot) {
    // The slot is this thread's while it is Deflating: no one else touches
    // its piece, and the writer removes only deflated slots.
    std::vector<char> output;
    {
        TSyncLock lock(sync_);
        output = TakeSpare(spare_outputs_);
    }
    output.clear();
    std::exception_ptr error;
    try {
        TVectorSink sink(output);
        DeflatePiece(slot.Piece, level_, sink);
    } catch (...) {
        error = std::current_exception();
    }
    TSyncLock lock(sync_);
    TJob& job = *jobs_[index];
    if (error) {
        if (job.State != TJobState::Failed) {
            job.Error = error;
            job.State = TJobState::Failed;
        }
        WakeWriter();
        WakeWorkers();
        return;
    }
    buffered_ = buffered_ - slot.Held + output.size();
    slot.Held = output.size();
    slot.Output = std::move(output);
    KeepSpare(spare_inputs_, slot.Piece.Data);
    std::vector<char>().swap(slot.Piece.Dictionary);
    slot.State = TPieceState::Deflated;
    if (index == current_) WakeWriter();
}

std::vector<char> TParallelPacker::TakeSpare(std::vector<std::vector<char>>& spares) {
    std::vector<char> buffer;
    if (!spares.empty()) {
        buffer.swap(spares.back());
        spares.pop_back();
    }
    return buffer;
}

void TParallelPacker::KeepSpare(std::vector<std::vector<char>>& spares, std::vector<char>& buffer) {
    if (buffer.capacity() > 0 && spares.size() <= threads_) spares.push_back(std::move(buffer));
    std::vector<char>().swap(buffer);
}

void TParallelPacker::WriteAll(TArchiveBuilder& builder) {
    for (std::size_t index = 0; index < jobs_.size(); ++index) {
        WriteOne(index, builder);
        TSyncLock lock(sync_);
        jobs_[index].reset();
        current_ = index + 1;
        WakeWorkers();
    }
}

void TParallelPacker::ThrowIfFailed(const TJob& job) const {
    if (failure_) std::rethrow_exception(failure_);
    if (job.State == TJobState::Failed) std::rethrow_exception(job.Error);
}

void TParallelPacker::WriteOne(std::size_t index, TArchiveBuilder& builder) {
    try {
        WriteMember(index, builder);
    } catch (const EMemberUnreadable&) {
        // Passed over: its entry is taken back, and what the threads still
        // hold of it is let go.
        builder.AbandonEntry();
        DropJob(index);
    }
}

// Waits until no thread works on the failed file `index` any more, then
// takes what it still holds out of the buffer's count.
void TParallelPacker::DropJob(std::size_t index) {
    TSyncLock lock(sync_);
    TJob& job = *jobs_[index];
    auto deflating = [&job] {
        return std::any_of(job.Pieces.begin(), job.Pieces.end(),
                           [](const TPieceSlot& slot) { return slot.State == TPieceState::Deflating; });
    };
    while (!failure_ && (job.Cutting || deflating())) sync_.Sleep(0);
    for (const TPieceSlot& slot : job.Pieces) buffered_ -= slot.Held;
    job.Pieces.clear();
    buffered_ -= job.Queued;
    job.Queued = 0;
    job.Chunks.clear();
    WakeWorkers();
}

void TParallelPacker::WriteMember(std::size_t index, TArchiveBuilder& builder) {
    TMemberInfo member;
    bool in_pieces = false;
    {
        TSyncLock lock(sync_);
        while (!failure_ && (!jobs_[index] || jobs_[index]->State == TJobState::Waiting)) sync_.Sleep(0);
        if (failure_) std::rethrow_exception(failure_);
        const TJob& job = *jobs_[index];
        if (job.State == TJobState::Skipped) return;
        ThrowIfFailed(job);
        member = job.Member;
        in_pieces = job.InPieces;
    }
    builder.BeginEntry(member);
    builder.EndEntry(in_pieces ? WriteCut(index, builder) : WriteWhole(index, builder));
}

TPackedData TParallelPacker::WriteWhole(std::size_t index, TArchiveBuilder& builder) {
    std::vector<std::vector<char>> chunks;
    TJobState state = TJobState::Opened;
    TPackedData packed;
    while (state == TJobState::Opened) {
        {
            TSyncLock lock(sync_);
            TJob& job = *jobs_[index];
            while (!failure_ && job.Chunks.empty() && job.State == TJobState::Opened) sync_.Sleep(0);
            if (failure_) std::rethrow_exception(failure_);
            // Chunks come before the state that ends them, so taking both
            // under one lock leaves nothing behind.
            chunks.swap(job.Chunks);
            buffered_ -= job.Queued;
            job.Queued = 0;
            if (!chunks.empty()) WakeWorkers();
            state = job.State;
            packed = job.Packed;
            if (state == TJobState::Failed) std::rethrow_exception(job.Error);
        }
        for (const auto& chunk : chunks) builder.Append(chunk.data(), chunk.size());
        chunks.clear();
    }
    return packed;
}

TPackedData TParallelPacker::WriteCut(std::size_t index, TArchiveBuilder& builder) {
    std::uint64_t written = 0;
    bool last = false;
    std::vector<char> output;
    while (!last) {
        {
            TSyncLock lock(sync_);
            KeepSpare(spare_outputs_, output);
            TJob& job = *jobs_[index];
            while (!failure_ && job.State != TJobState::Failed &&
                   (job.Pieces.empty() || job.Pieces.front().State != TPieceState::Deflated)) {
                sync_.Sleep(0);
            }
            ThrowIfFailed(job);
            TPieceSlot& slot = job.Pieces.front();
            output.swap(slot.Output);
            last = slot.Piece.Last;
            buffered_ -= slot.Held;
            job.Pieces.pop_front();
            WakeWorkers();
        }
        builder.Append(output.data(), output.size());
        written += output.size();
    }
    // The reading thread may still be looking at the job.
    TSyncLock lock(sync_);
    KeepSpare(spare_outputs_, output);
    const TJob& job = *jobs_[index];
    while (!failure_ && job.State != TJobState::Failed && job.Cutting) sync_.Sleep(0);
    ThrowIfFailed(job);
    TPackedData packed = job.Packed;
    packed.Written = written;
    return packed;
}

void TParallelPacker::StopAndJoin() {
    {
        TSyncLock lock(sync_);
        stop_ = true;
        WakeWorkers();
    }
    if (started_ > 0) sync_.Join();
}

}  // namespace

void PackSequentially(TMemberSource& members, TArchiveBuilder& builder) {
    for (std::size_t index = 0; index < members.Count(); ++index) {
        TMemberInfo member;
        std::unique_ptr<TPieceReader> reader = members.Open(index, member);
        if (reader) builder.PackEntry(member, *reader);
    }
}

void PackInParallel(TMemberSource& members, TArchiveBuilder& builder, unsigned threads, std::size_t budget,
                    TPackerSync& sync) {
    TParallelPacker packer(members, builder.Level(), threads, budget, sync);
    if (packer.Start() == 0) {
        PackSequentially(members, builder);
        return;
    }
    packer.WriteAll(builder);
}

}  // namespace vantrel
