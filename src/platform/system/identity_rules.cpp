#include "platform/system/identity_rules.h"

#include "platform/base/text.h"

namespace vantrel {

const wchar_t kExplorerExe[] = L"explorer.exe";

bool IsWindows2000Version(unsigned major_version, unsigned minor_version) {
    return major_version == 5 && minor_version == 0;
}

std::wstring ProcessFileName(const std::wstring& exe_file) {
    std::size_t slash = exe_file.rfind(L'\\');
    return slash == std::wstring::npos ? exe_file : exe_file.substr(slash + 1);
}

bool SameNameNoCase(const std::wstring& a, const std::wstring& b, TUpperFn upper) { return upper(a) == upper(b); }

std::uint32_t FirstProcessNamed(const std::vector<TSnapshotProcess>& snapshot, const std::wstring& file_name,
                                const std::wstring& user_name,
                                const std::function<std::wstring(std::uint32_t)>& owner_of, TUpperFn upper) {
    for (const auto& process : snapshot) {
        if (!SameNameNoCase(ProcessFileName(process.ExeFile), file_name, upper)) continue;
        if (user_name.empty() || SameNameNoCase(owner_of(process.ProcessId), user_name, upper)) {
            return process.ProcessId;
        }
    }
    return 0;
}

std::uint32_t FirstActiveExplorerSession(const std::vector<TSnapshotProcess>& snapshot,
                                         const std::function<bool(std::uint32_t, std::uint32_t&)>& session_of,
                                         const std::function<bool(std::uint32_t)>& is_active, TUpperFn upper) {
    for (const auto& process : snapshot) {
        if (!SameNameNoCase(ProcessFileName(process.ExeFile), kExplorerExe, upper)) continue;
        std::uint32_t session = 0;
        if (session_of(process.ProcessId, session) && is_active(session)) return session;
    }
    return 0;
}

bool IsConsoleSessionAnswer(std::uint32_t session_id) { return session_id != 0 && session_id != 0xFFFFFFFFu; }

std::wstring SessionUserOrNone(const std::wstring& name) {
    return EqualsNoCaseAscii(name, L"system") ? std::wstring() : name;
}

std::wstring ChooseSessionUserName(bool is_windows_2000, const std::function<bool(std::wstring&)>& query_session_user,
                                   const std::function<std::wstring()>& explorer_owner) {
    if (!is_windows_2000) {
        std::wstring name;
        if (query_session_user(name)) {
            name = SessionUserOrNone(name);
            if (!name.empty()) return name;
        }
    }
    return explorer_owner();
}

}  // namespace vantrel
