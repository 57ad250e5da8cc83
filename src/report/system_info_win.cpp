#include "report/system_info_win.h"

#include "platform/base/contain_win.h"
#include "platform/base/errors.h"
#include "platform/base/file_io_win.h"
#include "platform/base/file_open_win.h"
#include "platform/base/handles_win.h"
#include "platform/base/optional_api_win.h"
#include "platform/base/system_locale_win.h"
#include "platform/base/text_win.h"
#include "platform/base/wow64_win.h"
#include "platform/system/folders_win.h"
#include "platform/system/process_snapshot_win.h"

#include <algorithm>
#include <vector>

namespace vantrel {

namespace {

const wchar_t kStage[] = L"system information";

const DWORD kJobPollMs = 10;
const DWORD kEndWaitMs = 5000;  // how long an ended process may take to go away

TStringList* g_capture_list = nullptr;

TStringList& CaptureList() {
    CreateSystemInfoList();
    return *g_capture_list;
}

// Console programs write redirected output in the OEM code page.
std::wstring DecodeOemText(const std::string& bytes) { return CodePageToWide(::GetOEMCP(), bytes); }

// A time limit counted from construction, on the 32-bit tick count (its
// wrap-around is harmless for spans below 49 days).
class TDeadline {
public:
    explicit TDeadline(DWORD span_ms) : start_(::GetTickCount()), span_(span_ms) {}
    DWORD Span() const { return span_; }
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
// of redirecting the elevated command's output elsewhere. The tool holds the
// only handle the command writes through (a duplicate of its own, which
// shares its file position), keeps the file open until the output has been
// read through its own handle (others may read it, nobody else may write or
// delete it), and deletes it when the object goes away.
class TRawOutputFile {
public:
    explicit TRawOutputFile(const std::wstring& path)
        : path_(path),
          handle_(OpenFileHandle(path, GENERIC_READ | GENERIC_WRITE, kShareRead, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL | kOpenLinkItself)) {}
    ~TRawOutputFile() {
        if (!handle_) return;
        handle_.Reset();
        DeleteFileByName(path_);
    }
    TRawOutputFile(const TRawOutputFile&) = delete;
    TRawOutputFile& operator=(const TRawOutputFile&) = delete;

    bool Created() const { return handle_.Valid(); }
    HANDLE Handle() const { return handle_.Get(); }

    // The whole file as the command left it; throws EToolError.
    std::string ReadAll() {
        if (::SetFilePointer(handle_.Get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
            throw EToolError("Cannot read file " + EncodeUtf8(path_), ::GetLastError());
        }
        std::string bytes;
        std::vector<char> buffer(1 << 16);
        DWORD got = 0;
        do {
            if (!::ReadFile(handle_.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
                throw EToolError("Cannot read file " + EncodeUtf8(path_), ::GetLastError());
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
    auto get_process_id = optional_api::GetProcessId();
    std::vector<ScopedKernelHandle> children;
    if (get_process_id == nullptr) return children;
    const DWORD parent_id = get_process_id(parent);
    const std::uint64_t parent_created = CreationTime(parent);
    if (parent_id == 0) return children;
    for (const PROCESSENTRY32W& entry : SnapshotProcesses()) {
        if (entry.th32ParentProcessID != parent_id || entry.th32ProcessID == parent_id) continue;
        ScopedKernelHandle child(
            ::OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (child && CreationTime(child.Get()) >= parent_created) children.push_back(std::move(child));
    }
    return children;
}

// Processes of the job that have not ended yet; 0 when it cannot be asked.
DWORD ActiveProcesses(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (!::QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof accounting,
                                     nullptr)) {
        return 0;
    }
    return accounting.ActiveProcesses;
}

// Waits until every process of the job has ended; false when some still
// runs after `wait_ms`.
bool WaitForEmptyJob(HANDLE job, DWORD wait_ms) {
    const TDeadline deadline(wait_ms);
    while (ActiveProcesses(job) != 0) {
        const DWORD left = deadline.Remaining();
        if (left == 0) return false;
        ::Sleep(std::min(left, kJobPollMs));
    }
    return true;
}

// A job for the command and everything it starts; processes still in it when
// the last handle goes (the tool ending early included) are ended where the
// system can. Invalid when no job can be made.
ScopedKernelHandle MakeCommandJob() {
    ScopedKernelHandle job(::CreateJobObjectW(nullptr, nullptr));
    if (!job) return job;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    ::SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return job;
}

// A started command: the process, suspended until Resume, and the job it
// was put in (none when the system refused: see StartCommand).
struct TCommand {
    ScopedKernelHandle Process;
    ScopedKernelHandle Thread;
    ScopedKernelHandle Job;
};

// The attribute list that hands the child exactly one inheritable handle;
// on systems without it (before Vista) the list stays empty, and the rule
// that the tool makes no other handle inheritable keeps the child to that
// one (any process start of the tool other than this one inherits nothing).
class TInheritList {
public:
    explicit TInheritList(HANDLE* handle) {
        auto initialize = optional_api::InitializeProcThreadAttributeList();
        auto update = optional_api::UpdateProcThreadAttribute();
        if (initialize == nullptr || update == nullptr || optional_api::DeleteProcThreadAttributeList() == nullptr) {
            return;
        }
        SIZE_T size = 0;
        initialize(nullptr, 1, 0, &size);
        if (size == 0) return;
        storage_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (!initialize(list, 1, 0, &size)) return;
        list_ = list;
        if (!update(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handle, sizeof(HANDLE), nullptr, nullptr)) {
            Delete();
        }
    }
    ~TInheritList() { Delete(); }
    TInheritList(const TInheritList&) = delete;
    TInheritList& operator=(const TInheritList&) = delete;

    LPPROC_THREAD_ATTRIBUTE_LIST List() const { return list_; }

private:
    void Delete() {
        if (list_ != nullptr) optional_api::DeleteProcThreadAttributeList()(list_);
        list_ = nullptr;
    }
    std::vector<unsigned char> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// Starts the system folder's systeminfo.exe (the native one under WOW64)
// suspended, hidden and without a console window, with `output` as its
// standard output: no shell, and no path but the program's on its command
// line. Its standard error is not kept, as a console would not keep it.
// The process goes into a job of its own; the tool itself may already be in
// a job: the command is then started to break away from it, and where that
// is refused (and before Windows 8 a process cannot be in two jobs) it runs
// without a job and is ended through its process tree.
bool StartCommand(HANDLE output, TCommand& command) {
    const std::wstring system_dir = GetSystemDir();
    if (system_dir.empty()) return false;
    const std::wstring program = system_dir + L"\\systeminfo.exe";
    std::wstring command_line = SystemInfoCommandLine(program);

    // The one handle the child inherits, made inheritable only for the start.
    ScopedKernelHandle inherited;
    if (!::DuplicateHandle(::GetCurrentProcess(), output, ::GetCurrentProcess(), inherited.Receive(), 0, TRUE,
                           DUPLICATE_SAME_ACCESS)) {
        return false;
    }
    HANDLE inherit_only = inherited.Get();
    TInheritList inherit_list(&inherit_only);
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = inherit_list.List() != nullptr ? sizeof startup : sizeof startup.StartupInfo;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdOutput = inherited.Get();
    startup.lpAttributeList = inherit_list.List();
    DWORD flags = CREATE_SUSPENDED | CREATE_NO_WINDOW;
    if (inherit_list.List() != nullptr) flags |= EXTENDED_STARTUPINFO_PRESENT;

    PROCESS_INFORMATION info = {};
    bool started = false;
    DWORD error = ERROR_SUCCESS;
    {
        ScopedFsRedirectionOff native_system_folder;
        started = ::CreateProcessW(program.c_str(), &command_line[0], nullptr, nullptr, TRUE,
                                   flags | CREATE_BREAKAWAY_FROM_JOB, nullptr, system_dir.c_str(), &startup.StartupInfo,
                                   &info) != FALSE;
        if (!started && ::GetLastError() == ERROR_ACCESS_DENIED) {
            started = ::CreateProcessW(program.c_str(), &command_line[0], nullptr, nullptr, TRUE, flags, nullptr,
                                       system_dir.c_str(), &startup.StartupInfo, &info) != FALSE;
        }
        if (!started) error = ::GetLastError();  // before the redirection is restored
    }
    if (!started) {
        ::SetLastError(error);
        return false;
    }
    command.Process.Reset(info.hProcess);
    command.Thread.Reset(info.hThread);
    command.Job = MakeCommandJob();
    if (command.Job && !::AssignProcessToJobObject(command.Job.Get(), command.Process.Get())) command.Job.Reset();
    return true;
}

// Ends the command and everything it started, and waits a little for them to
// go, so that nothing writes the raw file any more.
void EndCommand(const TCommand& command) {
    if (command.Job) {
        ::TerminateJobObject(command.Job.Get(), 1);
        ::WaitForSingleObject(command.Process.Get(), kEndWaitMs);
        WaitForEmptyJob(command.Job.Get(), kEndWaitMs);
        return;
    }
    std::vector<ScopedKernelHandle> children = ChildProcesses(command.Process.Get());
    for (const auto& child : children) ::TerminateProcess(child.Get(), 1);
    ::TerminateProcess(command.Process.Get(), 1);
    ::WaitForSingleObject(command.Process.Get(), kEndWaitMs);
    for (const auto& child : children) ::WaitForSingleObject(child.Get(), kEndWaitMs);
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

// The raw file is declared first so that it goes last: the command has
// ended before its output file is closed and removed.
struct TSystemInfoCapture::TState {
    TState(const std::wstring& raw_path, DWORD bound_ms) : Raw(raw_path), Deadline(bound_ms) {}
    ~TState() {
        if (!Running) return;
        // Out of memory while the command's children are listed: the
        // command itself is ended all the same.
        if (!ContainFailure(kStage, [this] { EndCommand(Command); })) {
            ::TerminateProcess(Command.Process.Get(), 1);
        }
    }
    TState(const TState&) = delete;
    TState& operator=(const TState&) = delete;

    TRawOutputFile Raw;
    TCommand Command;
    TDeadline Deadline;
    bool Running = false;
};

TSystemInfoCapture::TSystemInfoCapture(const std::wstring& raw_path, std::uint32_t wait_bound_ms) {
    if (raw_path.empty()) return;
    state_.reset(new TState(raw_path, wait_bound_ms));
    if (!state_->Raw.Created()) {
        RecordFailure(kStage, L"Cannot create the raw output file " + raw_path + L"; only the header is saved",
                      ::GetLastError());
        return;
    }
    if (!StartCommand(state_->Raw.Handle(), state_->Command)) {
        RecordFailure(kStage, L"Cannot start the systeminfo command; only the header is saved", ::GetLastError());
        return;
    }
    state_->Deadline = TDeadline(wait_bound_ms);  // the bound counts from the start
    ::ResumeThread(state_->Command.Thread.Get());
    state_->Running = true;
}

TSystemInfoCapture::~TSystemInfoCapture() = default;

bool TSystemInfoCapture::Running() const { return state_ && state_->Running; }

const TStringList& TSystemInfoCapture::Collect() {
    TStringList& list = CaptureList();
    list.clear();
    TStringList output;
    // Taken out of the object: the raw output file goes when this returns
    // or throws, before anything packs the folder.
    const std::unique_ptr<TState> state = std::move(state_);
    if (state && state->Running) {
        // The output is read through the tool's own handle once the command
        // and all it started have ended, so every byte written has arrived.
        const TCommand& command = state->Command;
        const bool ended = ::WaitForSingleObject(command.Process.Get(), state->Deadline.Remaining()) == WAIT_OBJECT_0 &&
                           (!command.Job || WaitForEmptyJob(command.Job.Get(), state->Deadline.Remaining()));
        if (!ended) {
            EndCommand(command);
            RecordFailure(kStage, L"The systeminfo command did not end within " +
                                      DecimalText(static_cast<std::uint64_t>(state->Deadline.Span() / 1000)) +
                                      L" s; it was ended and only the header is saved");
        }
        state->Running = false;
        if (ended) output = SplitOutputLines(DecodeCommandOutput(state->Raw.ReadAll(), DecodeOemText));
    }
    list = SystemInfoLines(FormatReportDateTime(LocalNow(), UserLocale()), output);
    return list;
}

const TStringList& CaptureSystemInfoAt(const std::wstring& raw_path, std::uint32_t wait_bound_ms) {
    TSystemInfoCapture capture(raw_path, wait_bound_ms);
    return capture.Collect();
}

std::unique_ptr<TSystemInfoCapture> StartSystemInfo(const std::wstring& work_dir, std::uint32_t wait_bound_ms) {
    // The raw output lives in the run's working folder like everything else
    // the run writes; it is gone again before the folder is packed.
    return std::unique_ptr<TSystemInfoCapture>(
        new TSystemInfoCapture(work_dir + SystemInfoRawName(LocalNow()), wait_bound_ms));
}

void SaveSystemInfo(const std::wstring& work_dir, TSystemInfoCapture* started, std::uint32_t wait_bound_ms) {
    std::unique_ptr<TSystemInfoCapture> own;
    if (started == nullptr) {
        own = StartSystemInfo(work_dir, wait_bound_ms);
        started = own.get();
    }
    const TStringList lines = started->Collect();
    SaveBytesToFile(work_dir + kSystemInfoSavedName, EncodeUtf16LinesFile(lines));
}

void SaveSystemInfo(const std::wstring& work_dir, std::uint32_t wait_bound_ms) {
    SaveSystemInfo(work_dir, nullptr, wait_bound_ms);
}

bool IsFileBusy(const std::wstring& path) {
    ScopedFileHandle file =
        OpenFileHandle(path, GENERIC_READ | GENERIC_WRITE, kShareRead, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    return !file.Valid();
}

}  // namespace vantrel
