#include "platform/system/version_info.h"

#include "platform/base/text.h"

namespace vantrel {

std::wstring FormatVersionNumber(std::uint32_t version_ms, std::uint32_t version_ls) {
    return DecimalText(version_ms >> 16) + L"." + DecimalText(version_ms & 0xFFFF) + L"." +
           DecimalText(version_ls >> 16) + L"." + DecimalText(version_ls & 0xFFFF);
}

std::wstring TranslationKey(std::uint32_t translation) {
    return HexUpper(translation & 0xFFFF, 4) + HexUpper(translation >> 16, 4);
}

std::wstring SelectFileInfoItem(const TFileInfo& info, unsigned selector) {
    switch (selector) {
        case 0: return info.Comments;
        case 1: return info.CompanyName;
        case 2: return info.FileDescription;
        case 3: return info.FileVersion;
        case 4: return info.InternalName;
        case 5: return info.LegalCopyright;
        case 6: return info.LegalTrademarks;
        case 7: return info.OriginalFileName;
        case 8: return info.ProductName;
        case 9: return info.ProductVersion;
        case 10: return info.ExtraValue;
        default: return std::wstring();
    }
}

}  // namespace vantrel
