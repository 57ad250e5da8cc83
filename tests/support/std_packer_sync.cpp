#include "support/std_packer_sync.h"

#include <algorithm>
#include <system_error>

namespace vantrel_test {

void TStdPackerSync::Sleep(unsigned party) {
    TSignal& signal = signals_[party];
    std::unique_lock<std::mutex> held(mutex_, std::adopt_lock);
    if (party > 0) {
        ++asleep_;
        observed_.notify_all();
    }
    signal.Changed.wait(held, [&signal] { return signal.Set; });
    signal.Set = false;
    if (party > 0) --asleep_;
    held.release();  // the caller goes on holding the lock
}

void TStdPackerSync::Wake(unsigned party) {
    if (party >= signals_.size()) return;
    signals_[party].Set = true;
    signals_[party].Changed.notify_one();
}

unsigned TStdPackerSync::Start(unsigned count, void (*body)(void* context, unsigned party), void* context) {
    const unsigned n = std::min(count, startable_);
    signals_ = std::vector<TSignal>(count + 1);
    for (unsigned party = 1; party <= n; ++party) {
        try {
            threads_.emplace_back(&TStdPackerSync::RunThread, this, body, context, party);
        } catch (const std::system_error&) {
            break;
        }
    }
    return static_cast<unsigned>(threads_.size());
}

void TStdPackerSync::RunThread(void (*body)(void* context, unsigned party), void* context, unsigned party) {
    body(context, party);
    std::lock_guard<std::mutex> held(mutex_);
    ++ended_;
    observed_.notify_all();
}

void TStdPackerSync::WaitFor(const std::function<bool(unsigned asleep, unsigned ended)>& ready) {
    std::unique_lock<std::mutex> held(mutex_);
    observed_.wait(held, [&] { return ready(asleep_, ended_); });
}

void TStdPackerSync::Join() {
    for (std::thread& thread : threads_) thread.join();
    threads_.clear();
}

}  // namespace vantrel_test
