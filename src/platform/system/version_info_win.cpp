#include "platform/system/version_info.h"

#include "platform/base/contain_win.h"
#include "platform/base/text.h"
#include "platform/base/win.h"
#include "platform/system/version_block_win.h"

#include <cstring>

namespace vantrel {

namespace {

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
std::wstring FirstStringTableKey(const TVersionBlock& block) {
    const void* data = nullptr;
    UINT length = 0;
    if (!block.Query(L"\\StringFileInfo\\", data, length)) return std::wstring();
    const auto* base = static_cast<const unsigned char*>(data);
    const std::size_t header = 3 * sizeof(WORD);
    if (base < block.Begin() || base + header + 8 * sizeof(wchar_t) > block.End()) return std::wstring();
    wchar_t key[8];
    std::memcpy(key, base + header, sizeof key);
    return IsHexKey(key) ? std::wstring(key, 8) : std::wstring();
}

const wchar_t kStage[] = L"version information";

}  // namespace

bool ReadFileInfo(const std::wstring& file_name, const std::wstring& extra_name, TFileInfo& info) {
    bool read = false;
    ContainFailure(kStage, [&] {
        const TVersionBlock block(file_name);
        if (block.Empty()) return;

        const void* data = nullptr;
        UINT length = 0;
        if (!block.Query(L"\\VarFileInfo\\Translation", data, length) || length < sizeof(DWORD)) return;
        DWORD translation = 0;
        std::memcpy(&translation, data, sizeof translation);
        std::wstring table = L"\\StringFileInfo\\" + TranslationKey(translation) + L"\\";
        if (!block.Query(table, data, length)) {
            std::wstring key = FirstStringTableKey(block);
            if (!key.empty()) table = L"\\StringFileInfo\\" + key + L"\\";
        }

        info.CompanyName = block.QueryText(table + L"CompanyName");
        info.FileDescription = block.QueryText(table + L"FileDescription");
        info.FileVersion = block.QueryText(table + L"FileVersion");
        info.InternalName = block.QueryText(table + L"InternalName");
        info.LegalCopyright = block.QueryText(table + L"LegalCopyright");
        info.LegalTrademarks = block.QueryText(table + L"LegalTrademarks");
        info.OriginalFileName = block.QueryText(table + L"OriginalFileName");
        info.ProductName = block.QueryText(table + L"ProductName");
        info.ProductVersion = block.QueryText(table + L"ProductVersion");
        info.Comments = block.QueryText(table + L"Comments");

        if (block.Query(L"\\", data, length) && length >= sizeof(TFixedFileInfo)) {
            std::memcpy(&info.FixedInfo, data, sizeof(TFixedFileInfo));
        }
        if (!extra_name.empty()) info.ExtraValue = block.QueryText(table + extra_name);
        read = true;
    });
    return read;
}

std::wstring GetFileInfoItem(const std::wstring& file_name, unsigned selector, const std::wstring& default_text) {
    TFileInfo info;
    if (!ReadFileInfo(file_name, L"WOW Version", info)) return default_text;
    return SelectFileInfoItem(info, selector);
}

std::wstring GetFileVersionNumber(const std::wstring& file_name) {
    std::wstring number;
    ContainFailure(kStage, [&] {
        const TVersionBlock block(file_name);
        const void* data = nullptr;
        UINT length = 0;
        if (!block.Query(L"\\", data, length) || length < sizeof(VS_FIXEDFILEINFO)) return;
        VS_FIXEDFILEINFO fixed;
        std::memcpy(&fixed, data, sizeof fixed);
        number = FormatVersionNumber(fixed.dwFileVersionMS, fixed.dwFileVersionLS);
    });
    return number;
}

}  // namespace vantrel
