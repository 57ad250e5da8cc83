#include "job/out_archive_name.h"

#include "platform/base/text.h"

namespace vantrel {

namespace {

std::wstring Digits(int value, std::size_t width) {
    return PadLeft(DecimalText(static_cast<std::int32_t>(value)), width, L'0');
}

// The computer's name as a part of a file name.
std::wstring NamePart(const std::wstring& computer_name) {
    if (computer_name.empty()) return L"UNKNOWN";
    std::wstring part = computer_name;
    for (wchar_t& c : part) {
        if (CodeUnit(c) <= 0x20 || std::wstring(L"\\/:*?\"<>|").find(c) != std::wstring::npos) c = L'_';
    }
    return part;
}

}  // namespace

std::wstring OutArchiveBaseName(const std::wstring& computer_name, const TDateTimeParts& utc) {
    return L"Vantrel_Debug_Info_" + NamePart(computer_name) + L"_" + Digits(utc.Year, 4) + Digits(utc.Month, 2) +
           Digits(utc.Day, 2) + L"T" + Digits(utc.Hour, 2) + Digits(utc.Minute, 2) + Digits(utc.Second, 2) + L"Z";
}

std::wstring OutArchiveName(const std::wstring& base, unsigned attempt) {
    if (attempt <= 1) return base + L".zip";
    return base + L"_" + DecimalText(static_cast<std::uint32_t>(attempt)) + L".zip";
}

}  // namespace vantrel
