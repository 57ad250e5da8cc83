#include "platform/identity_win.h"

#include "platform/handles_win.h"
#include "platform/text.h"

#include <wtsapi32.h>

#include <vector>

namespace vantrel {

std::wstring GetSessionUserName() {
    wchar_t* buffer = nullptr;
    DWORD bytes = 0;
    std::wstring result;
    if (::WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, WTSUserName, &buffer,
                                      &bytes)) {
        result = buffer != nullptr ? buffer : L"";
        ::WTSFreeMemory(buffer);
    }
    if (EqualsNoCaseAscii(result, L"system")) result.clear();
    return result;
}

std::wstring GetProcessUserName(DWORD process_id) {
    ScopedKernelHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, process_id));
    if (!process) return std::wstring();
    ScopedKernelHandle token;
    if (!::OpenProcessToken(process.Get(), TOKEN_QUERY, token.Receive())) return std::wstring();
    DWORD size = 0;
    ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> info;
    while (true) {
        info.resize(size == 0 ? 1 : size);
        if (::GetTokenInformation(token.Get(), TokenUser, info.data(), static_cast<DWORD>(info.size()), &size)) {
            break;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::wstring();
    }
    PSID sid = reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid;
    DWORD name_length = 0;
    DWORD domain_length = 0;
    SID_NAME_USE use;
    ::LookupAccountSidW(nullptr, sid, nullptr, &name_length, nullptr, &domain_length, &use);
    if (name_length == 0 || domain_length == 0) return std::wstring();
    std::vector<wchar_t> name(name_length);
    std::vector<wchar_t> domain(domain_length);
    if (!::LookupAccountSidW(nullptr, sid, name.data(), &name_length, domain.data(), &domain_length, &use)) {
        return std::wstring();
    }
    return std::wstring(name.data());
}

}  // namespace vantrel
