#include "platform/base/console_win.h"

#include "platform/base/file_open_win.h"
#include "platform/base/optional_api_win.h"
#include "platform/base/text_win.h"

namespace vantrel {

namespace {

// The parent's console, attached on first use; invalid when the parent has
// none or the system cannot attach one.
HANDLE ParentConsole() {
    static const ScopedFileHandle console = [] {
        const auto attach = optional_api::AttachConsole();
        if (attach == nullptr || !attach(ATTACH_PARENT_PROCESS)) return ScopedFileHandle();
        return OpenFileHandle(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, kShareReadWrite, OPEN_EXISTING, 0);
    }();
    return console.Get();
}

// True when `handle` leads to a file or a pipe the caller reads.
bool IsRedirected(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
    const DWORD type = ::GetFileType(handle);
    return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
}

void WriteAll(HANDLE handle, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!::WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) ||
            written == 0) {
            return;
        }
        done += written;
    }
}

}  // namespace

void WriteToCaller(TCallerStream stream, const std::wstring& text) noexcept {
    try {
        HANDLE standard = ::GetStdHandle(stream == TCallerStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
        if (IsRedirected(standard)) {
            WriteAll(standard, WideToCodePage(CP_OEMCP, text));
            return;
        }
        HANDLE console = ParentConsole();
        if (console == INVALID_HANDLE_VALUE || text.empty()) return;
        DWORD written = 0;
        ::WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    } catch (...) {
        // Out of memory while converting: the caller reads nothing.
    }
}

}  // namespace vantrel
