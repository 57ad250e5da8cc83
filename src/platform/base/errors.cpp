#include "platform/base/errors.h"

namespace vantrel {

std::wstring FailureLogText(const std::wstring& stage, const std::wstring& reason, std::uint32_t code,
                            const std::wstring& code_text) {
    std::wstring line = L"Error: " + stage + L": " + reason;
    if (code != 0) {
        line += L" (Windows error " + std::to_wstring(code);
        if (!code_text.empty()) line += L": " + code_text;
        line += L")";
    }
    return line;
}

}  // namespace vantrel
