#include "platform/base/os_version_win.h"

#include "platform/base/win.h"

namespace vantrel {

TOsVersion GetOsVersion() {
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    TOsVersion version;
    if (::GetVersionExW(&info)) {
        version.Major = info.dwMajorVersion;
        version.Minor = info.dwMinorVersion;
    }
    return version;
}

}  // namespace vantrel
