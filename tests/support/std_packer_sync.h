// The parallel packer's lock, wake-up signals and threads on the standard
// library, so that the packer's coordination runs in the native tests (under
// ThreadSanitizer in the native-tsan tree).
#pragma once

#include "zip/zip_parallel.h"

#include <condition_variable>
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

private:
    struct TSignal {
        std::condition_variable Changed;
        bool Set = false;  // under mutex_
    };

    const unsigned startable_;
    std::mutex mutex_;
    // Sized before any thread starts.
    std::vector<TSignal> signals_;
    std::vector<std::thread> threads_;
};

}  // namespace vantrel_test
