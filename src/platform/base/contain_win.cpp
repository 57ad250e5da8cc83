#include "platform/base/contain_win.h"

#include "platform/base/errors.h"
#include "platform/base/handles_win.h"
#include "platform/base/text.h"
#include "platform/base/win.h"

#include <exception>
#include <new>

namespace vantrel {

namespace {

// Written at start-up, and around a run without a window, while no other
// thread that could fail exists.
TFailureWriter g_failure_writer = nullptr;

void WriteFailure(const std::wstring& stage, const std::wstring& reason, std::uint32_t code) noexcept {
    try {
        if (g_failure_writer != nullptr) {
            g_failure_writer(FailureLogText(stage, reason, code, code != 0 ? SystemErrorText(code) : std::wstring()));
        }
    } catch (...) {
        // Out of memory while composing the line: the failure stays contained
        // without its line.
    }
}

}  // namespace

void SetFailureWriter(TFailureWriter writer) { g_failure_writer = writer; }

TFailureWriter CurrentFailureWriter() { return g_failure_writer; }

std::wstring SystemErrorText(std::uint32_t code) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    ScopedLocalMemory hold(buffer);
    if (length == 0 || buffer == nullptr) return std::wstring();
    std::wstring text(buffer, length);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    return text;
}

void RecordFailure(const std::wstring& stage, const std::wstring& reason, std::uint32_t code) noexcept {
    WriteFailure(stage, reason, code);
}

void RecordCurrentFailure(const std::wstring& stage) noexcept {
    try {
        std::wstring reason;
        std::uint32_t code = 0;
        try {
            throw;
        } catch (const EToolError& error) {
            reason = DecodeUtf8(error.what());
            code = error.SystemCode();
        } catch (const std::bad_alloc&) {
            reason = L"Out of memory";
        } catch (const std::exception& error) {
            reason = DecodeUtf8(error.what());
        } catch (...) {
            reason = L"Unknown failure";
        }
        WriteFailure(stage, reason, code);
    } catch (...) {
        // Out of memory while naming the failure: it stays contained without
        // its line.
    }
}

}  // namespace vantrel
