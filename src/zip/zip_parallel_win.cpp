#include "zip/zip_parallel_win.h"

#include "platform/critical_section_win.h"
#include "platform/handles_win.h"
#include "zip/zip_files_win.h"

#include <process.h>

#include <exception>
#include <memory>

namespace vantrel {

namespace {

// Raised inside a compressing thread when the packing is abandoned.
struct EStopped {};

enum class TJobState { Waiting, Opened, Done, Skipped, Failed };

// One selected file on its way from a compressing thread to the archive.
struct TJob {
    TJobState State = TJobState::Waiting;
    TMemberInfo Member;
    std::vector<std::vector<char>> Chunks;  // compressed bytes not yet written
    std::size_t Queued = 0;                 // their size
    TPackedData Packed;
    std::exception_ptr Error;
};

// The writer (the calling thread) and the compressing threads share the jobs
// under one lock. Each thread sleeps on an auto-reset event of its own; a
// thread that changes what another waits for sets that thread's event, and
// every waiter checks its condition again after waking.
class TParallelPacker {
public:
    TParallelPacker(const std::vector<TSelectedFile>& files, int level, std::size_t budget)
        : files_(files), level_(level), budget_(budget), jobs_(files.size()) {}
    ~TParallelPacker() { StopAndJoin(); }
    TParallelPacker(const TParallelPacker&) = delete;
    TParallelPacker& operator=(const TParallelPacker&) = delete;

    // Starts up to `count` compressing threads; returns how many run.
    unsigned Start(unsigned count);
    // Writes every file into `builder` in order.
    void WriteAll(TArchiveBuilder& builder);
    // A compressing thread's output for file `index`; the thread waits on
    // `wake` while the buffer budget is spent.
    void AppendChunk(std::size_t index, HANDLE wake, const char* data, std::size_t size);

private:
    struct TWorker {
        TParallelPacker* Packer;
        ScopedKernelHandle Wake;
        ScopedKernelHandle Thread;
    };
    static unsigned __stdcall WorkerMain(void* worker);
    void Compress(HANDLE wake);
    void CompressOne(std::size_t index, HANDLE wake);
    void WriteOne(std::size_t index, TArchiveBuilder& builder);
    bool MustWait(const TJob& job, bool is_current, std::size_t size) const;
    void StopAndJoin();

    // The caller holds the lock; it is released while waiting.
    void Wait(HANDLE wake) {
        lock_.Leave();
        ::WaitForSingleObject(wake, INFINITE);
        lock_.Enter();
    }
    void WakeWriter() { ::SetEvent(writer_wake_.Get()); }
    void WakeWorkers() {
        for (auto& worker : workers_) ::SetEvent(worker->Wake.Get());
    }

    const std::vector<TSelectedFile>& files_;
    const int level_;
    const std::size_t budget_;
    ScopedKernelHandle writer_wake_{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    // Changed by the writer only, before the threads start and after they end.
    std::vector<std::unique_ptr<TWorker>> workers_;

    TCriticalSection lock_;
    // Under lock_:
    std::vector<std::unique_ptr<TJob>> jobs_;  // from its claim until written
    std::size_t next_ = 0;                     // the next file to claim
    std::size_t current_ = 0;                  // the file being written
    std::size_t buffered_ = 0;                 // bytes in the Chunks of all jobs
    bool stop_ = false;
    std::exception_ptr failure_;               // a compressing thread ended early
};

// The sink of one file's compressed bytes inside a compressing thread.
class TJobSink : public TChunkSink {
public:
    TJobSink(TParallelPacker& packer, std::size_t index, HANDLE wake) : packer_(packer), index_(index), wake_(wake) {}
    void Append(const char* data, std::size_t size) override { packer_.AppendChunk(index_, wake_, data, size); }

private:
    TParallelPacker& packer_;
    std::size_t index_;
    HANDLE wake_;
};

unsigned TParallelPacker::Start(unsigned count) {
    if (!writer_wake_) return 0;
    for (unsigned i = 0; i < count; ++i) {
        auto worker = std::make_unique<TWorker>();
        worker->Packer = this;
        worker->Wake.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (!worker->Wake) break;
        // Registered before it runs, so that stopping always reaches it.
        workers_.push_back(std::move(worker));
        TWorker* w = workers_.back().get();
        uintptr_t thread = ::_beginthreadex(nullptr, 0, WorkerMain, w, 0, nullptr);
        if (thread == 0) {
            workers_.pop_back();
            break;
        }
        w->Thread.Reset(reinterpret_cast<HANDLE>(thread));
    }
    return static_cast<unsigned>(workers_.size());
}

unsigned __stdcall TParallelPacker::WorkerMain(void* worker) {
    auto* w = static_cast<TWorker*>(worker);
    TParallelPacker& packer = *w->Packer;
    try {
        packer.Compress(w->Wake.Get());
    } catch (...) {
        // Outside any one file (out of memory): the writer gives up.
        TCriticalSectionGuard lock(packer.lock_);
        if (!packer.failure_) packer.failure_ = std::current_exception();
        packer.WakeWriter();
    }
    return 0;
}

void TParallelPacker::Compress(HANDLE wake) {
    while (true) {
        std::size_t index;
        {
            TCriticalSectionGuard lock(lock_);
            if (stop_ || next_ >= files_.size()) return;
            index = next_++;
            jobs_[index].reset(new TJob);
        }
        CompressOne(index, wake);
    }
}

void TParallelPacker::CompressOne(std::size_t index, HANDLE wake) {
    TPackedData packed;
    std::exception_ptr error;
    try {
        TSourceFile source;
        if (!source.Open(files_[index].Path)) {
            TCriticalSectionGuard lock(lock_);
            jobs_[index]->State = TJobState::Skipped;
            WakeWriter();
            return;
        }
        TMemberInfo member = source.Describe(files_[index].Name);
        const std::uint64_t limit = ReadLimitFor(member.Size);
        {
            TCriticalSectionGuard lock(lock_);
            jobs_[index]->Member = std::move(member);
            jobs_[index]->State = TJobState::Opened;
            WakeWriter();
        }
        TJobSink sink(*this, index, wake);
        packed = PackMember(source, level_, limit, sink);
    } catch (const EStopped&) {
        return;
    } catch (...) {
        error = std::current_exception();
    }
    TCriticalSectionGuard lock(lock_);
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

void TParallelPacker::AppendChunk(std::size_t index, HANDLE wake, const char* data, std::size_t size) {
    std::vector<char> chunk(data, data + size);
    TCriticalSectionGuard lock(lock_);
    TJob& job = *jobs_[index];
    while (!stop_ && MustWait(job, index == current_, size)) Wait(wake);
    if (stop_) throw EStopped();
    job.Chunks.push_back(std::move(chunk));
    job.Queued += size;
    buffered_ += size;
    if (index == current_) WakeWriter();
}

void TParallelPacker::WriteAll(TArchiveBuilder& builder) {
    for (std::size_t index = 0; index < files_.size(); ++index) {
        WriteOne(index, builder);
        TCriticalSectionGuard lock(lock_);
        jobs_[index].reset();
        current_ = index + 1;
        WakeWorkers();
    }
}

void TParallelPacker::WriteOne(std::size_t index, TArchiveBuilder& builder) {
    TMemberInfo member;
    {
        TCriticalSectionGuard lock(lock_);
        while (!failure_ && (!jobs_[index] || jobs_[index]->State == TJobState::Waiting)) Wait(writer_wake_.Get());
        if (failure_) std::rethrow_exception(failure_);
        const TJob& job = *jobs_[index];
        if (job.State == TJobState::Skipped) return;
        if (job.State == TJobState::Failed) std::rethrow_exception(job.Error);
        member = job.Member;
    }
    builder.BeginEntry(member);
    std::vector<std::vector<char>> chunks;
    TJobState state = TJobState::Opened;
    TPackedData packed;
    std::exception_ptr error;
    while (state == TJobState::Opened) {
        {
            TCriticalSectionGuard lock(lock_);
            TJob& job = *jobs_[index];
            while (!failure_ && job.Chunks.empty() && job.State == TJobState::Opened) Wait(writer_wake_.Get());
            if (failure_) std::rethrow_exception(failure_);
            // Chunks come before the state that ends them, so taking both
            // under one lock leaves nothing behind.
            chunks.swap(job.Chunks);
            buffered_ -= job.Queued;
            job.Queued = 0;
            if (!chunks.empty()) WakeWorkers();
            state = job.State;
            packed = job.Packed;
            error = job.Error;
        }
        for (const auto& chunk : chunks) builder.Append(chunk.data(), chunk.size());
        chunks.clear();
    }
    if (state == TJobState::Failed) std::rethrow_exception(error);
    builder.EndEntry(packed);
}

void TParallelPacker::StopAndJoin() {
    {
        TCriticalSectionGuard lock(lock_);
        stop_ = true;
    }
    WakeWorkers();
    for (auto& worker : workers_) {
        if (worker->Thread) ::WaitForSingleObject(worker->Thread.Get(), INFINITE);
    }
    workers_.clear();
}

}  // namespace

void PackSequentially(const std::vector<TSelectedFile>& files, TArchiveBuilder& builder) {
    for (const TSelectedFile& file : files) {
        TSourceFile source;
        if (!source.Open(file.Path)) continue;
        builder.PackEntry(source.Describe(file.Name), source);
    }
}

void PackInParallel(const std::vector<TSelectedFile>& files, TArchiveBuilder& builder, int level, unsigned threads,
                    std::size_t budget) {
    TParallelPacker packer(files, level, budget);
    if (packer.Start(threads) == 0) {
        PackSequentially(files, builder);
        return;
    }
    packer.WriteAll(builder);
}

}  // namespace vantrel
