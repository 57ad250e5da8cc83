// The parallel packer's lock, wake-up signals and threads on Win32: a
// critical section, one auto-reset event per party, threads started with
// _beginthreadex (the product's compiler has no std::thread).
#pragma once

#include "platform/base/critical_section_win.h"
#include "platform/base/handles_win.h"
#include "zip/zip_parallel.h"

#include <vector>

namespace vantrel {

class TWin32PackerSync : public TPackerSync {
public:
    TWin32PackerSync();
    // Waits for the threads still running.
    ~TWin32PackerSync() override;
    TWin32PackerSync(const TWin32PackerSync&) = delete;
    TWin32PackerSync& operator=(const TWin32PackerSync&) = delete;

    void Lock() override { lock_.Enter(); }
    void Unlock() override { lock_.Leave(); }
    void Sleep(unsigned party) override;
    void Wake(unsigned party) override;
    unsigned Start(unsigned count, void (*body)(void* context, unsigned party), void* context) override;
    void Join() override;

private:
    struct TThreadStart {
        void (*Body)(void*, unsigned);
        void* Context;
        unsigned Party;
    };
    static unsigned __stdcall ThreadMain(void* start);

    TCriticalSection lock_;
    // Created before any thread starts and not changed until they end.
    std::vector<ScopedKernelHandle> wake_;  // one event per party
    std::vector<TThreadStart> starts_;
    std::vector<ScopedKernelHandle> threads_;
};

}  // namespace vantrel
