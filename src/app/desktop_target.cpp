#include "app/desktop_target.h"

#include "platform/base/text.h"

namespace vantrel {

std::wstring MapDesktopToSessionUser(const std::wstring& desktop, const std::wstring& session_user,
                                     const std::wstring& owner, std::wstring (*upper)(const std::wstring&)) {
    if (session_user.empty() || EqualsNoCaseAscii(session_user, owner)) return desktop;
    return ReplaceAllNoCase(desktop, L"\\" + owner + L"\\", L"\\" + session_user + L"\\", upper);
}

TCompletionMessage CompletionMessageFor(const std::wstring& target_file) {
    TCompletionMessage message;
    if (LowerAscii(target_file).find(L"desktop") != std::wstring::npos) {
        message.Text = L"The info file: Vantrel_Debug_Info.zip has been saved to your desktop.\r" + target_file;
        message.OpenExplorer = false;
    } else {
        message.Text = L"The info file: Vantrel_Debug_Info.zip has been saved to:\r" + target_file;
        message.OpenExplorer = true;
    }
    return message;
}

}  // namespace vantrel
