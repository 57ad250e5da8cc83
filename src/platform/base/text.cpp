#include "platform/base/text.h"

#include <cmath>

namespace vantrel {

namespace {

void PutUnit(std::string& out, std::uint32_t unit) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>((unit >> 8) & 0xFF));
}

std::wstring HexText(std::uint64_t value, std::size_t digits, const char* alphabet) {
    std::wstring out;
    do {
        out.insert(out.begin(), static_cast<wchar_t>(alphabet[value & 0xF]));
        value >>= 4;
    } while (value != 0);
    return PadLeft(out, digits, L'0');
}

bool IsPathDelimiter(wchar_t c) { return c == L'\\' || c == L':'; }

// Index of the last backslash or colon, or npos.
std::size_t LastDelimiter(const std::wstring& path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsPathDelimiter(path[i - 1])) return i - 1;
    }
    return std::wstring::npos;
}

// Index of the extension's dot in the file-name part, or npos.
std::size_t ExtensionDot(const std::wstring& path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        wchar_t c = path[i - 1];
        if (c == L'.') return i - 1;
        if (IsPathDelimiter(c)) break;
    }
    return std::wstring::npos;
}

void AppendCodePoint(std::wstring& out, std::uint32_t cp) {
    if (sizeof(wchar_t) == 2 && cp > 0xFFFF) {
        cp -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<wchar_t>(cp));
    }
}

std::wstring DecodeUtf16(const std::string& bytes, bool little_endian) {
    std::wstring out;
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto lo = static_cast<unsigned char>(bytes[i + (little_endian ? 0 : 1)]);
        auto hi = static_cast<unsigned char>(bytes[i + (little_endian ? 1 : 0)]);
        std::uint32_t unit = lo | (hi << 8);
        if (sizeof(wchar_t) > 2 && unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            auto lo2 = static_cast<unsigned char>(bytes[i + 2 + (little_endian ? 0 : 1)]);
            auto hi2 = static_cast<unsigned char>(bytes[i + 2 + (little_endian ? 1 : 0)]);
            std::uint32_t next = lo2 | (hi2 << 8);
            if (next >= 0xDC00 && next < 0xE000) {
                out.push_back(static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00)));
                i += 2;
                continue;
            }
        }
        out.push_back(static_cast<wchar_t>(unit));
    }
    return out;
}

}  // namespace

void AppendUtf16Le(std::string& out, const std::wstring& text) {
    for (wchar_t wc : text) {
        auto cp = CodeUnit(wc);
        if (cp > 0xFFFF) {
            cp -= 0x10000;
            PutUnit(out, 0xD800 + (cp >> 10));
            PutUnit(out, 0xDC00 + (cp & 0x3FF));
        } else {
            PutUnit(out, cp);
        }
    }
}

std::string EncodeUtf16LinesFile(const TStringList& lines) {
    std::string out("\xFF\xFE", 2);
    for (const auto& line : lines) {
        AppendUtf16Le(out, line);
        AppendUtf16Le(out, L"\r\n");
    }
    return out;
}

std::wstring DecodeUtf16Le(const std::string& bytes) { return DecodeUtf16(bytes, true); }
std::wstring DecodeUtf16Be(const std::string& bytes) { return DecodeUtf16(bytes, false); }

std::wstring DecodeUtf8(const std::string& bytes) {
    std::wstring out;
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        auto b = static_cast<unsigned char>(bytes[i]);
        std::uint32_t cp = 0;
        std::size_t extra = 0;
        if (b < 0x80) {
            cp = b;
        } else if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0F;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            cp = b & 0x07;
            extra = 3;
        } else {
            out.push_back(static_cast<wchar_t>(0xFFFD));
            ++i;
            continue;
        }
        bool ok = i + extra < n || extra == 0;
        for (std::size_t k = 1; ok && k <= extra; ++k) {
            auto c = static_cast<unsigned char>(bytes[i + k]);
            if ((c & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (c & 0x3F);
        }
        static const std::uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (!ok || cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
            out.push_back(static_cast<wchar_t>(0xFFFD));
            ++i;
            continue;
        }
        AppendCodePoint(out, cp);
        i += extra + 1;
    }
    return out;
}

std::string EncodeUtf8(const std::wstring& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto cp = CodeUnit(text[i]);
        if (sizeof(wchar_t) == 2 && cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size()) {
            auto next = CodeUnit(text[i + 1]);
            if (next >= 0xDC00 && next < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (next - 0xDC00);
                ++i;
            }
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::wstring WidenLatin1(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    for (char c : text) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return out;
}

std::string NarrowAscii(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text) out.push_back(static_cast<std::uint32_t>(c) < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

std::wstring PadRight(const std::wstring& text, std::size_t width, wchar_t fill) {
    if (text.size() >= width) return text;
    return text + std::wstring(width - text.size(), fill);
}

std::wstring PadLeft(const std::wstring& text, std::size_t width, wchar_t fill) {
    if (text.size() >= width) return text;
    return std::wstring(width - text.size(), fill) + text;
}

std::wstring DecimalText(std::uint64_t value) {
    std::wstring out;
    do {
        out.insert(out.begin(), static_cast<wchar_t>(L'0' + value % 10));
        value /= 10;
    } while (value != 0);
    return out;
}

std::wstring DecimalText(std::int64_t value) {
    if (value >= 0) return DecimalText(static_cast<std::uint64_t>(value));
    // Negate in unsigned arithmetic so that the lowest value does not overflow.
    return L"-" + DecimalText(0 - static_cast<std::uint64_t>(value));
}

std::wstring HexUpper(std::uint64_t value, std::size_t digits) { return HexText(value, digits, "0123456789ABCDEF"); }

std::wstring HexLower(std::uint64_t value, std::size_t digits) { return HexText(value, digits, "0123456789abcdef"); }

std::wstring Fixed2(double value, wchar_t decimal_separator) {
    bool negative = value < 0;
    double scaled = std::floor(std::fabs(value) * 100.0 + 0.5);
    auto cents = static_cast<std::uint64_t>(scaled);
    std::wstring out = DecimalText(cents / 100);
    out.push_back(decimal_separator);
    out += PadLeft(DecimalText(cents % 100), 2, L'0');
    return (negative && cents != 0) ? L"-" + out : out;
}

wchar_t UpperAscii(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c; }
wchar_t LowerAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

std::wstring UpperAscii(const std::wstring& text) {
    std::wstring out(text);
    for (auto& c : out) c = UpperAscii(c);
    return out;
}

std::wstring LowerAscii(const std::wstring& text) {
    std::wstring out(text);
    for (auto& c : out) c = LowerAscii(c);
    return out;
}

bool EqualsNoCaseAscii(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    }
    return true;
}

bool StartsWithNoCaseAscii(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && EqualsNoCaseAscii(text.substr(0, prefix.size()), prefix);
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::wstring& text, const std::wstring& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::wstring ReplaceAllNoCase(const std::wstring& text, const std::wstring& from, const std::wstring& to,
                              std::wstring (*upper)(const std::wstring&)) {
    if (from.empty()) return text;
    const std::wstring hay = upper(text);
    const std::wstring needle = upper(from);
    std::wstring out;
    std::size_t pos = 0;
    while (true) {
        std::size_t hit = hay.find(needle, pos);
        if (hit == std::wstring::npos) break;
        out.append(text, pos, hit - pos);
        out += to;
        pos = hit + needle.size();
    }
    out.append(text, pos, std::wstring::npos);
    return out;
}

std::wstring ReplaceAll(const std::wstring& text, const std::wstring& from, const std::wstring& to) {
    return ReplaceAllNoCase(text, from, to, [](const std::wstring& s) { return s; });
}

std::wstring TrimControl(const std::wstring& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && static_cast<std::uint32_t>(text[first]) <= 32) ++first;
    while (last > first && static_cast<std::uint32_t>(text[last - 1]) <= 32) --last;
    return text.substr(first, last - first);
}

bool IsBlank(const std::wstring& text) { return TrimControl(text).empty(); }

std::wstring ExtractFilePath(const std::wstring& path) {
    std::size_t i = LastDelimiter(path);
    return i == std::wstring::npos ? std::wstring() : path.substr(0, i + 1);
}

std::wstring ExtractFileName(const std::wstring& path) {
    std::size_t i = LastDelimiter(path);
    return i == std::wstring::npos ? path : path.substr(i + 1);
}

std::wstring ExtractFileExt(const std::wstring& path) {
    std::size_t dot = ExtensionDot(path);
    return dot == std::wstring::npos ? std::wstring() : path.substr(dot);
}

std::wstring ChangeFileExt(const std::wstring& path, const std::wstring& ext) {
    std::size_t dot = ExtensionDot(path);
    return (dot == std::wstring::npos ? path : path.substr(0, dot)) + ext;
}

std::wstring IncludeTrailingBackslash(const std::wstring& path) {
    return (!path.empty() && path.back() == L'\\') ? path : path + L"\\";
}

std::wstring ExcludeTrailingBackslash(const std::wstring& path) {
    return (!path.empty() && path.back() == L'\\') ? path.substr(0, path.size() - 1) : path;
}

void SplitAtLastBackslash(const std::wstring& path, std::wstring& folder, std::wstring& name) {
    std::size_t i = path.rfind(L'\\');
    if (i == std::wstring::npos) {
        folder.clear();
        name = path;
    } else {
        folder = path.substr(0, i);
        name = path.substr(i + 1);
    }
}

}  // namespace vantrel
