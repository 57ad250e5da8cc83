#include "platform/system/registry_rules.h"

#include "platform/base/text.h"

namespace vantrel {

const wchar_t kRegistryReadErrorText[] = L"zumbrelreaderror";

TValueKind ValueKindOfType(std::uint32_t registry_type) {
    switch (registry_type) {
        case 1: return TValueKind::vkString;
        case 2: return TValueKind::vkExpandString;
        case 3: return TValueKind::vkBinary;
        case 4: return TValueKind::vkInteger;
        default: return TValueKind::vkUnknown;
    }
}

bool IsRelativeKey(const std::wstring& path) { return path.empty() || path[0] != L'\\'; }

std::uint32_t ChooseViewMask(std::uint32_t access_mask, const std::wstring& key_path, const std::wstring& path,
                             bool on_wow64, bool auto_view) {
    if (!on_wow64 || !auto_view) return access_mask;
    const std::wstring full = IsRelativeKey(path) ? IncludeTrailingBackslash(key_path) + path : path;
    if (LowerAscii(full).find(L"wow6432node") != std::wstring::npos) return access_mask & ~kKeyWow64_64Key;
    return access_mask | kKeyWow64_64Key;
}

std::wstring OpenedKeyPath(bool key_open, const std::wstring& key_path, const std::wstring& path, bool relative) {
    return key_open && relative ? key_path + L"\\" + path : path;
}

std::wstring TextOfValueData(const std::string& data) {
    std::wstring text = DecodeUtf16Le(data);
    std::size_t nul = text.find(L'\0');
    return nul == std::wstring::npos ? text : text.substr(0, nul);
}

std::string InvalidDataTypeMessage(const std::wstring& value_name) {
    return "Invalid data type for '" + EncodeUtf8(value_name) + "'";
}

}  // namespace vantrel
