#include "report/services.h"

namespace vantrel {

namespace {

const wchar_t kNtPathPrefix[] = L"\\??\\";
const wchar_t kSystemRootPrefix[] = L"\\SystemRoot\\";
const wchar_t kSystemRootVariable[] = L"%SystemRoot%\\";

std::wstring SignedDecimal(std::uint32_t value) { return DecimalText(static_cast<std::int32_t>(value)); }

}  // namespace

std::wstring FormatServiceLine(const TServiceLine& line) {
    return PadRight(line.DisplayName, 30) + L" " + HexUpper(line.ServiceType) + L"  " +
           SignedDecimal(line.CurrentState) + L"  " + SignedDecimal(line.Win32ExitCode) + L" " +
           DecimalText(line.StartType) + L" " + line.ImagePath + L" " + line.VersionText;
}

std::wstring StripNtPathPrefix(const std::wstring& path) {
    return StartsWithNoCaseAscii(path, kNtPathPrefix) ? path.substr(4) : path;
}

std::wstring SystemRootImagePath(const std::wstring& path) {
    if (StartsWithNoCaseAscii(path, kSystemRootPrefix)) {
        return ReplaceAllNoCase(path, kSystemRootPrefix, kSystemRootVariable);
    }
    if (StartsWithNoCaseAscii(path, L"SysWOW64\\") || StartsWithNoCaseAscii(path, L"System32\\")) {
        return kSystemRootVariable + path;
    }
    return path;
}

}  // namespace vantrel
