#include "app/desktop_target_win.h"

#include "app/desktop_target.h"
#include "platform/base/file_io_win.h"
#include "platform/base/text.h"
#include "platform/base/text_win.h"
#include "platform/system/folders_win.h"
#include "platform/system/identity_win.h"

#include <shlobj.h>

namespace vantrel {

namespace {

const wchar_t kTargetName[] = L"\\Vantrel_Debug_Info.zip";

}  // namespace

std::wstring ComputeTargetFile() {
    std::wstring folder = GetSpecialFolder(nullptr, CSIDL_DESKTOPDIRECTORY);
    if (!folder.empty()) {
        folder = MapDesktopToSessionUser(folder, GetSessionUserName(), GetProcessUserName(::GetCurrentProcessId()),
                                         UpperCaseText);
    } else {
        folder = ExcludeTrailingBackslash(GetModuleDir());
    }
    return FullPath(folder + kTargetName);
}

std::wstring UserDesktopTargetFile(const TUserRights& user) {
    const std::wstring folder = GetUserShellFolder(user.Token(), CSIDL_DESKTOPDIRECTORY);
    if (folder.empty()) return ComputeTargetFile();
    return FullPath(ExcludeTrailingBackslash(folder) + kTargetName);
}

}  // namespace vantrel
