#include "platform/base/text_win.h"

namespace vantrel {

std::wstring UpperCaseText(const std::wstring& text) {
    std::wstring upper(text);
    if (!upper.empty()) ::CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    return upper;
}

std::wstring CodePageToWide(UINT page, const std::string& bytes) {
    if (bytes.empty()) return std::wstring();
    const int length = static_cast<int>(bytes.size());
    const int needed = ::MultiByteToWideChar(page, 0, bytes.data(), length, nullptr, 0);
    if (needed <= 0) return std::wstring();
    std::wstring text(static_cast<std::size_t>(needed), L'\0');
    const int written = ::MultiByteToWideChar(page, 0, bytes.data(), length, &text[0], needed);
    if (written <= 0) return std::wstring();
    text.resize(static_cast<std::size_t>(written));
    return text;
}

std::string WideToCodePage(UINT page, const std::wstring& text) {
    if (text.empty()) return std::string();
    const int length = static_cast<int>(text.size());
    const int needed = ::WideCharToMultiByte(page, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return std::string();
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    const int written = ::WideCharToMultiByte(page, 0, text.data(), length, &bytes[0], needed, nullptr, nullptr);
    if (written <= 0) return std::string();
    bytes.resize(static_cast<std::size_t>(written));
    return bytes;
}

}  // namespace vantrel
