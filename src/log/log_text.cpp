#include "log/log_text.h"

#include "platform/base/text.h"

namespace vantrel {

const char kLogByteOrderMark[2] = {'\xFF', '\xFE'};

std::wstring LogCandidateName(const std::wstring& log_name, const std::wstring& module_path, unsigned n) {
    const std::wstring& base = log_name.empty() ? module_path : log_name;
    if (n == 0) return log_name.empty() ? ChangeFileExt(module_path, L".log") : log_name;
    return ChangeFileExt(base, L"_" + DecimalText(static_cast<std::uint32_t>(n)) + L".log");
}

std::wstring LogBackupName(const std::wstring& file_name, unsigned k) {
    return file_name + L".bak" + DecimalText(static_cast<std::uint32_t>(k));
}

bool LogNeedsRotation(std::int64_t current_size, std::int64_t max_size) { return current_size >= max_size; }

std::wstring LogStamp(const TDateTimeParts& when, const TLocaleFormats& locale) {
    return FormatLogStamp(when, locale) + L"  ";
}

std::string LogLineBytes(const std::wstring& stamp, const std::wstring& text) {
    std::string bytes;
    AppendUtf16Le(bytes, stamp);
    AppendUtf16Le(bytes, text);
    AppendUtf16Le(bytes, L"\r\n");
    return bytes;
}

}  // namespace vantrel
