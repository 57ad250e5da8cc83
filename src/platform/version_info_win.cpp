#include "platform/version_info.h"

#include "platform/optional_api_win.h"
#include "platform/text.h"
#include "platform/win.h"

#include <cstring>
#include <vector>

namespace vantrel {

namespace {

// The whole version data of a file, or an empty block.
std::vector<unsigned char> LoadVersionBlock(const std::wstring& file_name) {
    auto info_size = optional_api::GetFileVersionInfoSizeW();
    auto info = optional_api::GetFileVersionInfoW();
    if (info_size == nullptr || info == nullptr) return {};
    DWORD ignored = 0;
    DWORD size = info_size(file_name.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<unsigned char> block(size);
    if (!info(file_name.c_str(), 0, size, block.data())) return {};
    return block;
}

bool Query(std::vector<unsigned char>& block, const std::wstring& sub_block, void*& data, UINT& length) {
    data = nullptr;
    length = 0;
    auto query = optional_api::VerQueryValueW();
    return query != nullptr && query(block.data(), sub_block.c_str(), &data, &length) != FALSE && data != nullptr;
}

std::wstring QueryText(std::vector<unsigned char>& block, const std::wstring& sub_block) {
    void* data = nullptr;
    UINT length = 0;
    if (!Query(block, sub_block, data, length)) return std::wstring();
    const auto* text = static_cast<const wchar_t*>(data);
    // The text is zero-terminated; `length` bounds it for a resource that is not.
    std::size_t n = 0;
    while (n < length && text[n] != L'\0') ++n;
    return std::wstring(text, n);
}

bool IsHexKey(const wchar_t* key) {
    for (int i = 0; i < 8; ++i) {
        wchar_t c = key[i];
        bool hex = (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
        if (!hex) return false;
    }
    return true;
}

// The key of the first string table, read from the StringTable header that
// "\StringFileInfo\" points at: three 16-bit words (length, value length,
// type), then the 8-character key. Empty when the data does not hold one.
std::wstring FirstStringTableKey(std::vector<unsigned char>& block) {
    void* data = nullptr;
    UINT length = 0;
    if (!Query(block, L"\\StringFileInfo\\", data, length)) return std::wstring();
    const auto* base = static_cast<const unsigned char*>(data);
    const auto* end = block.data() + block.size();
    const std::size_t header = 3 * sizeof(WORD);
    if (base < block.data() || base + header + 8 * sizeof(wchar_t) > end) return std::wstring();
    wchar_t key[8];
    std::memcpy(key, base + header, sizeof key);
    return IsHexKey(key) ? std::wstring(key, 8) : std::wstring();
}

}  // namespace

bool ReadFileInfo(const std::wstring& file_name, const std::wstring& extra_name, TFileInfo& info) {
    try {
        std::vector<unsigned char> block = LoadVersionBlock(file_name);
        if (block.empty()) return false;

        void* data = nullptr;
        UINT length = 0;
        if (!Query(block, L"\\VarFileInfo\\Translation", data, length) || length < sizeof(DWORD)) {
            return false;
        }
        DWORD translation = 0;
        std::memcpy(&translation, data, sizeof translation);
        std::wstring table = L"\\StringFileInfo\\" + TranslationKey(translation) + L"\\";
        if (!Query(block, table, data, length)) {
            std::wstring key = FirstStringTableKey(block);
            if (!key.empty()) table = L"\\StringFileInfo\\" + key + L"\\";
        }

        info.CompanyName = QueryText(block, table + L"CompanyName");
        info.FileDescription = QueryText(block, table + L"FileDescription");
        info.FileVersion = QueryText(block, table + L"FileVersion");
        info.InternalName = QueryText(block, table + L"InternalName");
        info.LegalCopyright = QueryText(block, table + L"LegalCopyright");
        info.LegalTrademarks = QueryText(block, table + L"LegalTrademarks");
        info.OriginalFileName = QueryText(block, table + L"OriginalFileName");
        info.ProductName = QueryText(block, table + L"ProductName");
        info.ProductVersion = QueryText(block, table + L"ProductVersion");
        info.Comments = QueryText(block, table + L"Comments");

        if (Query(block, L"\\", data, length) && length >= sizeof(TFixedFileInfo)) {
            std::memcpy(&info.FixedInfo, data, sizeof(TFixedFileInfo));
        }
        if (!extra_name.empty()) info.ExtraValue = QueryText(block, table + extra_name);
        return true;
    } catch (...) {
        return false;
    }
}

std::wstring GetFileInfoItem(const std::wstring& file_name, unsigned selector,
                             const std::wstring& default_text) {
    try {
        TFileInfo info;
        if (!ReadFileInfo(file_name, L"WOW Version", info)) return default_text;
        return SelectFileInfoItem(info, selector);
    } catch (...) {
        return default_text;
    }
}

std::wstring GetFileVersionNumber(const std::wstring& file_name) {
    try {
        std::vector<unsigned char> block = LoadVersionBlock(file_name);
        if (block.empty()) return std::wstring();
        void* data = nullptr;
        UINT length = 0;
        if (!Query(block, L"\\", data, length) || length < sizeof(VS_FIXEDFILEINFO)) return std::wstring();
        VS_FIXEDFILEINFO fixed;
        std::memcpy(&fixed, data, sizeof fixed);
        return FormatVersionNumber(fixed.dwFileVersionMS, fixed.dwFileVersionLS);
    } catch (...) {
        return std::wstring();
    }
}

}  // namespace vantrel
