#include "zip/zip_threads_win.h"

#include <process.h>

namespace vantrel {

TWin32PackerSync::TWin32PackerSync() { wake_.emplace_back(::CreateEventW(nullptr, FALSE, FALSE, nullptr)); }

TWin32PackerSync::~TWin32PackerSync() { Join(); }

void TWin32PackerSync::Sleep(unsigned party) {
    lock_.Leave();
    ::WaitForSingleObject(wake_[party].Get(), INFINITE);
    lock_.Enter();
}

void TWin32PackerSync::Wake(unsigned party) {
    if (party < wake_.size() && wake_[party]) ::SetEvent(wake_[party].Get());
}

unsigned __stdcall TWin32PackerSync::ThreadMain(void* start) {
    const auto* s = static_cast<const TThreadStart*>(start);
    s->Body(s->Context, s->Party);
    return 0;
}

unsigned TWin32PackerSync::Start(unsigned count, void (*body)(void* context, unsigned party), void* context) {
    if (!wake_[0]) return 0;
    // Every event and start record exists before the first thread runs, so
    // the threads never see the vectors change.
    for (unsigned party = 1; party <= count; ++party) {
        ScopedKernelHandle event(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (!event) break;
        wake_.push_back(std::move(event));
        starts_.push_back(TThreadStart{body, context, party});
    }
    threads_.reserve(starts_.size());
    for (TThreadStart& start : starts_) {
        const uintptr_t thread = ::_beginthreadex(nullptr, 0, ThreadMain, &start, 0, nullptr);
        if (thread == 0) break;
        threads_.emplace_back(reinterpret_cast<HANDLE>(thread));
    }
    return static_cast<unsigned>(threads_.size());
}

void TWin32PackerSync::Join() {
    for (auto& thread : threads_) ::WaitForSingleObject(thread.Get(), INFINITE);
    threads_.clear();
}

}  // namespace vantrel
