#include "zip/zip_names.h"

#include "platform/base/text.h"

#include <cstdint>
#include <type_traits>

namespace vantrel {

std::wstring ArchiveEntryName(const std::wstring& root_dir, const std::wstring& file_path, bool store_paths,
                              bool relative_paths) {
    std::wstring folder;
    std::wstring name;
    SplitAtLastBackslash(file_path, folder, name);
    if (!store_paths) return name;
    if (!folder.empty()) folder.push_back(L'\\');
    if (relative_paths && !root_dir.empty() && StartsWithNoCaseAscii(folder, root_dir)) {
        folder.erase(0, root_dir.size());
    }
    if (folder.size() >= 2 && folder[1] == L':') folder.erase(0, 2);
    std::size_t lead = folder.find_first_not_of(L'\\');
    folder.erase(0, lead == std::wstring::npos ? folder.size() : lead);
    std::wstring result = folder + name;
    for (wchar_t& c : result) {
        if (c == L'\\') c = L'/';
    }
    return result;
}

TEncodedName EncodeEntryName(const std::wstring& name, TOemConvert mode, const TNameCodePages& pages) {
    if (mode == TOemConvert::oemFlexible) {
        const std::string ansi = pages.WideToAnsi(name);
        if (pages.SameText(pages.AnsiToWide(ansi), name)) {
            const std::string oem = pages.AnsiToOem(ansi);
            if (pages.SameText(pages.AnsiToWide(pages.OemToAnsi(oem)), pages.AnsiToWide(ansi))) {
                return TEncodedName{oem, false};
            }
        }
    }
    return TEncodedName{EncodeUtf8(name), true};
}

bool WildcardMatch(const std::wstring& pattern, const std::wstring& name) {
    // Greedy matching with one backtrack point: the last star seen.
    std::size_t p = 0, n = 0, star = std::wstring::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && (pattern[p] == L'?' || UpperAscii(pattern[p]) == UpperAscii(name[n]))) {
            ++p;
            ++n;
        } else if (star != std::wstring::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') ++p;
    return p == pattern.size();
}

namespace {

// The UTF-16 units of `text` from `begin` to `end`, as numbers: where wchar_t
// holds whole code points, one beyond the first plane becomes its surrogate
// pair, so that the order is the one UTF-16 names have.
std::u16string Utf16Units(const std::wstring& text, std::size_t begin, std::size_t end) {
    std::u16string units;
    for (std::size_t i = begin; i < end; ++i) {
        const auto c = static_cast<std::uint32_t>(static_cast<std::make_unsigned<wchar_t>::type>(text[i]));
        if (c >= 0x10000u && c <= 0x10FFFFu) {
            units.push_back(static_cast<char16_t>(0xD800u + ((c - 0x10000u) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00u + ((c - 0x10000u) & 0x3FFu)));
        } else {
            units.push_back(static_cast<char16_t>(c));
        }
    }
    return units;
}

}  // namespace

bool WalkedBefore(const std::wstring& a, const std::wstring& b) {
    std::size_t at_a = 0, at_b = 0;
    while (at_a <= a.size() && at_b <= b.size()) {
        std::size_t end_a = a.find(L'\\', at_a), end_b = b.find(L'\\', at_b);
        if (end_a == std::wstring::npos) end_a = a.size();
        if (end_b == std::wstring::npos) end_b = b.size();
        const std::u16string name_a = Utf16Units(a, at_a, end_a), name_b = Utf16Units(b, at_b, end_b);
        if (name_a != name_b) return name_a < name_b;
        at_a = end_a + 1;
        at_b = end_b + 1;
    }
    // One path is the other's folder: the folder's own name is listed first.
    return a.size() < b.size();
}

}  // namespace vantrel
