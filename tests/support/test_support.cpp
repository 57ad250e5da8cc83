#include "support/test_support.h"

#include "platform/base/text.h"

namespace vantrel_test {

std::string Printable(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c == L'\r')
            out += "\\r";
        else if (c == L'\n')
            out += "\\n";
        else if (c == L'\t')
            out += "\\t";
        else
            out += vantrel::EncodeUtf8(std::wstring(1, c));
    }
    return out;
}

}  // namespace vantrel_test
