#include "report/system_info_win.h"

#include "platform/errors.h"
#include "platform/file_io_win.h"
#include "platform/folders_win.h"
#include "platform/handles_win.h"
#include "platform/optional_api_win.h"
#include "platform/system_locale_win.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <vector>

namespace vantrel {

namespace {

const wchar_t kSavedName[] = L"SystemInfo.txt";
const DWORD kBusyPollMs = 100;
const DWORD kEndWaitMs = 5000;  // how long an ended process may take to go away

TStringList* g_capture_list = nullptr;

TStringList& CaptureList() {
    CreateSystemInfoList();
    return *g_capture_list;
}

// Console programs write redirected output in the OEM code page.
std::wstring DecodeOemText(const std::string& bytes) {
    if (bytes.empty()) return std::wstring();
    const int size = static_cast<int>(bytes.size());
    const UINT page = ::GetOEMCP();
    const int needed = ::MultiByteToWideChar(page, 0, bytes.data(), size, nullptr, 0);
    if (needed <= 0) return std::wstring();
    std::wstring text(static_cast<std::size_t>(needed), L'\0');
    ::MultiByteToWideChar(page, 0, bytes.data(), size, &text[0], needed);
    return text;
}

// A time limit counted from construction, on the 32-bit tick count (its
// wrap-around is harmless for spans below 49 days).
class TDeadline {
public:
    explicit TDeadline(DWORD span_ms) : start_(::GetTickCount()), span_(span_ms) {}
    DWORD Remaining() const {
        const DWORD elapsed = ::GetTickCount() - start_;
        return elapsed >= span_ ? 0 : span_ - elapsed;
    }

private:
    DWORD start_;
    DWORD span_;
};

// The raw output file. The tool creates it new before the command runs, so a
// file or link that someone put at the path makes the creation fail instead
// of redirecting the elevated command's output elsewhere. The tool holds it
// open (readers and writers may share it, deleters may not) until the output
// has been read through this same handle, so it cannot be renamed or swapped
// for something else meanwhile. Deleted when the object goes away.
class TRawOutputFile {
public:
    explicit TRawOutputFile(const std::wstring& path)
        : path_(path),
          handle_(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~TRawOutputFile() {
        if (!handle_) return;
        handle_.Reset();
        ::DeleteFileW(path_.c_str());
    }
    TRawOutputFile(const TRawOutputFile&) = delete;
    TRawOutputFile& operator=(const TRawOutputFile&) = delete;

    bool Created() const { return handle_.Valid(); }
    const std::wstring& Path() const { return path_; }

    // The whole file as the command left it; throws EToolError.
    std::string ReadAll() {
        if (::SetFilePointer(handle_.Get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
            throw EToolError("Cannot read file " + EncodeUtf8(path_));
        }
        std::string bytes;
        std::vector<char> buffer(1 << 16);
        DWORD got = 0;
        do {
            if (!::ReadFile(handle_.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
                throw EToolError("Cannot read file " + EncodeUtf8(path_));
            }
            bytes.append(buffer.data(), got);
        } while (got > 0);
        return bytes;
    }

private:
    std::wstring path_;
    ScopedFileHandle handle_;
};

std::uint64_t CreationTime(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// The running processes that `parent` started: its children by process id,
// created after it (so a reused id does not count). Empty when the system
// cannot tell a process handle's id.
std::vector<ScopedKernelHandle> ChildProcesses(HANDLE parent) {
    using GetProcessIdFn = DWORD(WINAPI*)(HANDLE);
    static const auto get_process_id = ProcAs<GetProcessIdFn>(LookupLoadedProc(L"kernel32.dll", "GetProcessId"));
    std::vector<ScopedKernelHandle> children;
    if (get_process_id == nullptr) return children;
    const DWORD parent_id = get_process_id(parent);
    const std::uint64_t parent_created = CreationTime(parent);
    ScopedFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot || parent_id == 0) return children;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
        if (entry.th32ParentProcessID != parent_id || entry.th32ProcessID == parent_id) continue;
        ScopedKernelHandle child(::OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE,
                                               entry.th32ProcessID));
        if (child && CreationTime(child.Get()) >= parent_created) children.push_back(std::move(child));
    }
    return children;
}

// Ends the command interpreter the capture started and the command it runs,
// and waits a little for them to go, so that they let go of the raw file.
void EndCommand(HANDLE interpreter) {
    std::vector<ScopedKernelHandle> children = ChildProcesses(interpreter);
    for (const auto& child : children) ::TerminateProcess(child.Get(), 1);
    ::TerminateProcess(interpreter, 1);
    ::WaitForSingleObject(interpreter, kEndWaitMs);
    for (const auto& child : children) ::WaitForSingleObject(child.Get(), kEndWaitMs);
}

// Runs "cmd.exe /d /c systeminfo>"raw"" hidden from the system folder (so
// that neither program is looked up in the current folder) and waits until
// it has ended and no one writes the raw file any more. False when the
// command could not start or did not finish within `bound_ms` of its start.
bool RunSystemInfoCommand(const std::wstring& raw_path, DWORD bound_ms) {
    const std::wstring system_dir = GetSystemDir();
    if (system_dir.empty() || !IsLiteralInQuotes(raw_path)) return false;
    const TDeadline deadline(bound_ms);
    const std::wstring interpreter = system_dir + L"\\cmd.exe";
    const std::wstring parameters = SystemInfoParameters(raw_path);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = nullptr;
    info.lpFile = interpreter.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = system_dir.c_str();
    info.nShow = SW_HIDE;
    if (!::ShellExecuteExW(&info) || info.hProcess == nullptr) return false;
    ScopedKernelHandle process(info.hProcess);
    if (::WaitForSingleObject(process.Get(), deadline.Remaining()) != WAIT_OBJECT_0) {
        EndCommand(process.Get());
        return false;
    }
    while (IsFileBusy(raw_path)) {
        const DWORD left = deadline.Remaining();
        if (left == 0) return false;
        ::Sleep(std::min(left, kBusyPollMs));
    }
    return true;
}

}  // namespace

void CreateSystemInfoList() {
    if (g_capture_list == nullptr) g_capture_list = new TStringList();
}

const TStringList& CaptureSystemInfo(std::uint32_t wait_bound_ms) {
    const std::wstring temp = GetTempDir();
    // Without a temporary folder there is nowhere to capture to: an empty
    // path makes the capture give the header lines only.
    return CaptureSystemInfoAt(temp.empty() ? temp : temp + SystemInfoRawName(LocalNow()), wait_bound_ms);
}

const TStringList& CaptureSystemInfoAt(const std::wstring& raw_path, std::uint32_t wait_bound_ms) {
    TStringList& list = CaptureList();
    list.clear();
    TStringList output;
    if (!raw_path.empty()) {
        TRawOutputFile raw(raw_path);
        if (raw.Created() && RunSystemInfoCommand(raw.Path(), wait_bound_ms)) {
            output = SplitOutputLines(DecodeCommandOutput(raw.ReadAll(), DecodeOemText));
        }
    }
    list = SystemInfoLines(FormatReportDateTime(LocalNow(), UserLocale()), output);
    return list;
}

void SaveSystemInfo(const std::wstring& work_dir, std::uint32_t wait_bound_ms) {
    // The raw output lives in the run's working folder like everything else
    // the run writes; it is gone again before the folder is packed.
    const TStringList lines = CaptureSystemInfoAt(work_dir + SystemInfoRawName(LocalNow()), wait_bound_ms);
    SaveBytesToFile(work_dir + kSavedName, EncodeUtf16LinesFile(lines));
}

bool IsFileBusy(const std::wstring& path) {
    ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return !file.Valid();
}

}  // namespace vantrel
