#include "zip/zip_names.h"

#include "platform/base/text.h"

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

}  // namespace vantrel
