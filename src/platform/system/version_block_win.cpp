#include "platform/system/version_block_win.h"

#include "platform/base/file_open_win.h"
#include "platform/base/optional_api_win.h"

namespace vantrel {

TVersionBlock::TVersionBlock(const std::wstring& file_name) {
    auto info_size = optional_api::GetFileVersionInfoSizeW();
    auto info = optional_api::GetFileVersionInfoW();
    if (info_size == nullptr || info == nullptr) return;
    // The system's version functions read the file by its name.
    if (!AccessPermitted(TAccessKind::Open, file_name, nullptr, GENERIC_READ)) return;
    DWORD ignored = 0;
    const DWORD size = info_size(file_name.c_str(), &ignored);
    if (size == 0) return;
    std::vector<unsigned char> block(size);
    if (info(file_name.c_str(), 0, size, block.data())) data_.swap(block);
}

bool TVersionBlock::Query(const std::wstring& sub_block, const void*& data, UINT& length) const {
    data = nullptr;
    length = 0;
    auto query = optional_api::VerQueryValueW();
    if (query == nullptr || data_.empty()) return false;
    void* value = nullptr;
    if (!query(data_.data(), sub_block.c_str(), &value, &length) || value == nullptr) {
        length = 0;
        return false;
    }
    data = value;
    return true;
}

std::wstring TVersionBlock::QueryText(const std::wstring& sub_block) const {
    const void* data = nullptr;
    UINT length = 0;
    if (!Query(sub_block, data, length)) return std::wstring();
    const auto* text = static_cast<const wchar_t*>(data);
    std::size_t n = 0;
    while (n < length && text[n] != L'\0') ++n;
    return std::wstring(text, n);
}

}  // namespace vantrel
