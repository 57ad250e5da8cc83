// The services section's facts and formatting: one line per service and
// driver the service control manager knows, and the image-path rules. Pure
// code; gathering from the service control manager is in services_win.h.
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

}  // namespace vantrel
