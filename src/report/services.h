// The services section of the text report: one line per service and driver
// the service control manager knows. The line format and the image-path
// rules are pure code (services.cpp); AddServices, GetServiceConfig and
// GetImageVersionText call the system (services_win.cpp).
#pragma once

#include "platform/base/text.h"

#include <cstdint>
#include <string>

namespace vantrel {

// The start type printed for a service whose configuration cannot be read.
constexpr std::int32_t kUnknownStartType = -1;

// The fields of one service line.
struct TServiceLine {
    std::wstring DisplayName;
    std::uint32_t ServiceType = 0;
    std::uint32_t CurrentState = 0;
    std::uint32_t Win32ExitCode = 0;
    std::int32_t StartType = kUnknownStartType;
    std::wstring ImagePath;    // as registered, arguments and quotes included
    std::wstring VersionText;  // GetImageVersionText of ImagePath
};

// "%-30s %X  %d  %d %d %s %s" filled with the display name, the type in
// upper-case hexadecimal, the state, the exit code (both as signed 32-bit
// numbers, as %d prints them), the start type, the image path and the
// version text.
std::wstring FormatServiceLine(const TServiceLine& line);

// The path without a leading "\??\" (any case).
std::wstring StripNtPathPrefix(const std::wstring& path);

// The form of an image path that names its file through %SystemRoot%: a
// path starting with "\SystemRoot\" has every "\SystemRoot\" (any case)
// replaced by "%SystemRoot%\"; one starting with "System32\" or "SysWOW64\"
// gets "%SystemRoot%\" in front; any other path is returned unchanged.
std::wstring SystemRootImagePath(const std::wstring& path);

// Appends the section to `lines`: the banner and one line per service, in
// the order the service control manager returns them. Nothing at all when
// the manager cannot be opened or enumerated. Never throws.
void AddServices(TStringList& lines);

// The start type and image path of the named service. The path is emptied
// first; false, with the start type untouched, when the configuration
// cannot be read.
bool GetServiceConfig(const std::wstring& service_name, std::int32_t& start_type, std::wstring& image_path);

// "Ver:" and the file version of the image named by `image_path` when a file
// is found for it (file-system redirection off for the check), else empty.
std::wstring GetImageVersionText(const std::wstring& image_path);

}  // namespace vantrel
