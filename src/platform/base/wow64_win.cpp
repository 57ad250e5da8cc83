#include "platform/base/wow64_win.h"

#include "platform/base/optional_api_win.h"

#include <atomic>

namespace vantrel {

namespace {

using DisableRedirectionFn = optional_api::Wow64DisableWow64FsRedirectionFn;
using RevertRedirectionFn = optional_api::Wow64RevertWow64FsRedirectionFn;

// Process-wide, written with the same values by whichever thread gets there
// first; atomics keep concurrent first calls well defined.
enum : int { kWow64Unknown = -1, kWow64No = 0, kWow64Yes = 1 };
std::atomic<int> g_wow64{kWow64Unknown};
std::atomic<DisableRedirectionFn> g_disable{nullptr};
std::atomic<RevertRedirectionFn> g_revert{nullptr};

bool QueryIsWow64() {
    auto is_wow64_process = optional_api::IsWow64Process();
    if (is_wow64_process == nullptr) return false;
    BOOL wow64 = FALSE;
    return is_wow64_process(::GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace

bool IsWow64() {
    int state = g_wow64.load();
    if (state == kWow64Unknown) {
        state = QueryIsWow64() ? kWow64Yes : kWow64No;
        g_wow64.store(state);
    }
    return state == kWow64Yes;
}

void LoadWow64Functions() {
    if (!IsWow64()) return;
    g_disable.store(optional_api::Wow64DisableWow64FsRedirection());
    g_revert.store(optional_api::Wow64RevertWow64FsRedirection());
}

bool DisableFsRedirection(void*& cookie) {
    if (g_disable.load() == nullptr) LoadWow64Functions();
    DisableRedirectionFn disable = g_disable.load();
    if (disable == nullptr) return false;
    return disable(&cookie) != FALSE;
}

bool RevertFsRedirection(void* cookie) {
    RevertRedirectionFn revert = g_revert.load();
    if (revert == nullptr) return false;
    return revert(cookie) != FALSE;
}

ScopedFsRedirectionOff::ScopedFsRedirectionOff() : disabled_(DisableFsRedirection(cookie_)) {}

ScopedFsRedirectionOff::~ScopedFsRedirectionOff() { RevertFsRedirection(cookie_); }

}  // namespace vantrel
