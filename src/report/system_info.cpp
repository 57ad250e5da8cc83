#include "report/system_info.h"

namespace vantrel {

const wchar_t kSystemInfoTitle[] = L"===== System =====";

std::wstring SystemInfoRawName(const TDateTimeParts& now) { return L"SystemInfo_" + FormatFileStamp(now) + L".txt"; }

std::wstring SystemInfoCommandLine(const std::wstring& program) { return L"\"" + program + L"\""; }

namespace {

bool HasMark(const std::string& bytes, const char* mark, std::size_t size) {
    return bytes.size() >= size && bytes.compare(0, size, mark, size) == 0;
}

}  // namespace

std::wstring DecodeCommandOutput(const std::string& bytes,
                                 const std::function<std::wstring(const std::string&)>& decode_plain) {
    std::wstring text;
    if (HasMark(bytes, "\xFF\xFE", 2)) {
        text = DecodeUtf16Le(bytes.substr(2));
    } else if (HasMark(bytes, "\xFE\xFF", 2)) {
        text = DecodeUtf16Be(bytes.substr(2));
    } else if (HasMark(bytes, "\xEF\xBB\xBF", 3)) {
        text = DecodeUtf8(bytes.substr(3));
    } else {
        text = decode_plain(bytes);
    }
    std::size_t zero = text.find(L'\0');
    if (zero != std::wstring::npos) text.resize(zero);
    return text;
}

TStringList SplitOutputLines(const std::wstring& text) {
    TStringList lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == L'\r' && start < text.size() && text[start] == L'\n') ++start;
    }
    return lines;
}

TStringList SystemInfoLines(const std::wstring& read_at, const TStringList& output) {
    TStringList lines = {read_at, L"", kSystemInfoTitle};
    lines.insert(lines.end(), output.begin(), output.end());
    return lines;
}

}  // namespace vantrel
