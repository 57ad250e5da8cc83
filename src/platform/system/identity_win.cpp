#include "platform/system/identity_win.h"

#include "platform/base/handles_win.h"
#include "platform/base/optional_api_win.h"
#include "platform/base/os_version_win.h"
#include "platform/base/text_win.h"
#include "platform/system/identity_rules.h"
#include "platform/system/process_snapshot_win.h"

#include <vector>

namespace vantrel {

namespace {

struct TIdentityStartup {
    bool IsWindows2000 = false;
    optional_api::WTSGetActiveConsoleSessionIdFn ConsoleSession = nullptr;
};

TIdentityStartup MakeStartup() {
    TIdentityStartup startup;
    const TOsVersion version = GetOsVersion();
    startup.IsWindows2000 = IsWindows2000Version(version.Major, version.Minor);
    if (!startup.IsWindows2000) startup.ConsoleSession = optional_api::WTSGetActiveConsoleSessionId();
    return startup;
}

const TIdentityStartup& Startup() {
    static const TIdentityStartup startup = MakeStartup();
    return startup;
}

struct WtsMemoryTraits {
    using Handle = void*;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept {
        // Only memory that WTSQuerySessionInformationW returned is held, so
        // the module and its release function are there.
        if (auto free_memory = optional_api::WTSFreeMemory()) free_memory(h);
    }
};
using ScopedWtsMemory = ScopedHandle<WtsMemoryTraits>;

// WTSQuerySessionInformationW on the local server; false when it fails.
bool QuerySession(DWORD session, WTS_INFO_CLASS info, ScopedWtsMemory& buffer, DWORD& bytes) {
    wchar_t* data = nullptr;
    bytes = 0;
    auto query = optional_api::WTSQuerySessionInformationW();
    if (query == nullptr || !query(WTS_CURRENT_SERVER_HANDLE, session, info, &data, &bytes)) return false;
    buffer.Reset(data);
    return true;
}

bool IsSessionActive(DWORD session) {
    ScopedWtsMemory buffer;
    DWORD bytes = 0;
    if (!QuerySession(session, WTSConnectState, buffer, bytes) || !buffer || bytes < sizeof(int)) return false;
    return *static_cast<const int*>(buffer.Get()) == WTSActive;
}

bool QuerySessionUser(std::wstring& name) {
    ScopedWtsMemory buffer;
    DWORD bytes = 0;
    if (!QuerySession(GetActiveSessionId(), WTSUserName, buffer, bytes)) return false;
    name = buffer ? std::wstring(static_cast<const wchar_t*>(buffer.Get())) : std::wstring();
    return true;
}

// The running processes, in snapshot order; none when no snapshot is taken.
std::vector<TSnapshotProcess> ProcessSnapshot() {
    std::vector<TSnapshotProcess> processes;
    for (const PROCESSENTRY32W& entry : SnapshotProcesses()) {
        TSnapshotProcess process;
        process.ProcessId = entry.th32ProcessID;
        process.ExeFile = entry.szExeFile;
        processes.push_back(process);
    }
    return processes;
}

// TokenUser of `token`, read with a buffer grown to the size the system
// asks for; empty on failure.
std::vector<unsigned char> TokenUserInformation(HANDLE token) {
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> info(size == 0 ? 1 : size);
    while (!::GetTokenInformation(token, TokenUser, info.data(), static_cast<DWORD>(info.size()), &size)) {
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= info.size()) return {};
        info.resize(size);
    }
    return info;
}

// The account name of `sid` on the local system, without domain.
std::wstring AccountName(PSID sid) {
    DWORD name_length = 0;
    DWORD domain_length = 0;
    SID_NAME_USE use = SidTypeUnknown;
    ::LookupAccountSidW(nullptr, sid, nullptr, &name_length, nullptr, &domain_length, &use);
    if (name_length == 0 || domain_length == 0) return std::wstring();
    std::vector<wchar_t> name(name_length + 1, L'\0');
    std::vector<wchar_t> domain(domain_length + 1, L'\0');
    if (!::LookupAccountSidW(nullptr, sid, name.data(), &name_length, domain.data(), &domain_length, &use)) {
        return std::wstring();
    }
    return std::wstring(name.data());
}

}  // namespace

void InitIdentity() { Startup(); }

bool IsWindows2000() { return Startup().IsWindows2000; }

std::wstring GetSessionUserName() {
    return ChooseSessionUserName(IsWindows2000(), QuerySessionUser, [] {
        const DWORD pid = FindExplorerProcess(std::wstring());
        return pid != 0 ? GetProcessUserName(pid) : std::wstring();
    });
}

bool ReadComputerNameText(std::wstring& name) {
    DWORD size = 0;
    ::GetComputerNameW(nullptr, &size);
    if (size == 0) return false;
    std::vector<wchar_t> buffer(size + 1, L'\0');
    if (!::GetComputerNameW(buffer.data(), &size)) return false;
    name = std::wstring(buffer.data());
    return true;
}

std::wstring GetProcessUserName(DWORD process_id) {
    ScopedKernelHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, process_id));
    if (!process) return std::wstring();
    ScopedKernelHandle token;
    if (!::OpenProcessToken(process.Get(), TOKEN_QUERY, token.Receive())) return std::wstring();
    std::vector<unsigned char> info = TokenUserInformation(token.Get());
    token.Reset();
    if (info.size() < sizeof(TOKEN_USER)) return std::wstring();
    return AccountName(reinterpret_cast<const TOKEN_USER*>(info.data())->User.Sid);
}

HANDLE GetTokenByName(const std::wstring& file_name, const std::wstring& user_name) {
    const DWORD pid = FindProcessByName(file_name, user_name);
    if (pid == 0) return nullptr;
    ScopedKernelHandle token;
    {
        ScopedKernelHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
        if (process) ::OpenProcessToken(process.Get(), TOKEN_DUPLICATE, token.Receive());
    }
    HANDLE duplicate = nullptr;
    if (!::DuplicateTokenEx(token.Get(), MAXIMUM_ALLOWED, nullptr, SecurityIdentification, TokenPrimary, &duplicate)) {
        return nullptr;
    }
    return duplicate;
}

DWORD GetTokenIntegrityLevel(HANDLE token) {
    if (token == nullptr) return 0;
    DWORD size = 0;
    ::GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
    if (size < sizeof(TOKEN_MANDATORY_LABEL)) return 0;
    std::vector<unsigned char> buffer(size);
    if (!::GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size)) return 0;
    PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
    const UCHAR* count = ::GetSidSubAuthorityCount(sid);
    if (count == nullptr || *count == 0) return 0;
    const DWORD* level = ::GetSidSubAuthority(sid, *count - 1u);
    return level != nullptr ? *level : 0;
}

DWORD GetActiveSessionId() {
    if (auto console = Startup().ConsoleSession) {
        const DWORD session = console();
        if (IsConsoleSessionAnswer(session)) return session;
    }
    return FindActiveExplorerSession();
}

DWORD FindActiveExplorerSession() {
    return FirstActiveExplorerSession(
        ProcessSnapshot(),
        [](std::uint32_t pid, std::uint32_t& session) {
            DWORD id = 0;
            if (!::ProcessIdToSessionId(pid, &id)) return false;
            session = id;
            return true;
        },
        IsSessionActive, UpperCaseText);
}

DWORD FindProcessByName(const std::wstring& file_name, const std::wstring& user_name) {
    return FirstProcessNamed(ProcessSnapshot(), file_name, user_name, GetProcessUserName, UpperCaseText);
}

DWORD FindExplorerProcess(const std::wstring& user_name) { return FindProcessByName(kExplorerExe, user_name); }

}  // namespace vantrel
