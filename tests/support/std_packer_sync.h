// The parallel packer's lock, wake-up signals and threads on the standard
// library, so that the packer's coordination runs in the native tests (under
// ThreadSanitizer in the native-tsan tree).
#pragma once

#include "zip/zip_parallel.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vantrel_test {

class TStdPackerSync : public vantrel::TPackerSync {
public:
    // `startable` threads at most start (fewer simulates a system that runs
    // out of threads).
    explicit TStdPackerSync(unsigned startable = 64) : startable_(startable), signals_(1) {}
    ~TStdPackerSync() override { Join(); }

    void Lock() override { mutex_.lock(); }
    void Unlock() override { mutex_.unlock(); }
    void Sleep(unsigned party) override;
    void Wake(unsigned party) override;
    unsigned Start(unsigned count, void (*body)(void* context, unsigned party), void* context) override;
    void Join() override;

    // For tests of what the threads do: waits, not holding the lock, until
    // `ready` holds for the number of compressing threads asleep and the
    // number that have ended.
    void WaitFor(const std::function<bool(unsigned asleep, unsigned ended)>& ready);

private:
    void RunThread(void (*body)(void* context, unsigned party), void* context, unsigned party);

    struct TSignal {
        std::condition_variable Changed;
        bool Set = false;  // under mutex_
    };

    const unsigned startable_;
    std::mutex mutex_;
    std::condition_variable observed_;  // the counts below changed
    unsigned asleep_ = 0;               // under mutex_
    unsigned ended_ = 0;
    // Sized before any thread starts.
    std::vector<TSignal> signals_;
    std::vector<std::thread> threads_;
};

}  // namespace vantrel_test
