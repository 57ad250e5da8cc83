#include "platform/base/file_open_win.h"

namespace vantrel {

ScopedFileHandle OpenFileHandle(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                                DWORD flags_and_attributes) {
    return ScopedFileHandle(
        ::CreateFileW(path.c_str(), access, share, nullptr, disposition, flags_and_attributes, nullptr));
}

}  // namespace vantrel
