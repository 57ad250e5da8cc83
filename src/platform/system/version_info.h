// File version information: the string table of a file's version resource
// and the fixed part's version number.
#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// The resource's fixed part (VS_FIXEDFILEINFO), 13 words as they stand.
struct TFixedFileInfo {
    std::uint32_t Signature = 0;
    std::uint32_t StrucVersion = 0;
    std::uint32_t FileVersionMS = 0;
    std::uint32_t FileVersionLS = 0;
    std::uint32_t ProductVersionMS = 0;
    std::uint32_t ProductVersionLS = 0;
    std::uint32_t FileFlagsMask = 0;
    std::uint32_t FileFlags = 0;
    std::uint32_t FileOS = 0;
    std::uint32_t FileType = 0;
    std::uint32_t FileSubtype = 0;
    std::uint32_t FileDateMS = 0;
    std::uint32_t FileDateLS = 0;
};

struct TFileInfo {
    std::wstring CompanyName;
    std::wstring FileDescription;
    std::wstring FileVersion;
    std::wstring InternalName;
    std::wstring LegalCopyright;
    std::wstring LegalTrademarks;
    std::wstring OriginalFileName;
    std::wstring ProductName;
    std::wstring ProductVersion;
    std::wstring Comments;
    TFixedFileInfo FixedInfo;
    std::wstring ExtraValue;
};

// "a.b.c.d" from the two file-version words: high word of MS first.
std::wstring FormatVersionNumber(std::uint32_t version_ms, std::uint32_t version_ls);

// The string-table key of a translation entry: language then code page, each
// as 4 upper-case hexadecimal digits (040904B0).
std::wstring TranslationKey(std::uint32_t translation);

// The item of `info` picked by `selector` (0 Comments, 1 CompanyName, ...,
// 9 ProductVersion, 10 ExtraValue); empty for any other selector.
std::wstring SelectFileInfoItem(const TFileInfo& info, unsigned selector);

// Reads the version resource of `file_name`; `extra_name` names one more
// string-table value for ExtraValue (not looked up when empty). False when
// the file has no readable resource or no translation entry.
bool ReadFileInfo(const std::wstring& file_name, const std::wstring& extra_name, TFileInfo& info);

// The selected item of ReadFileInfo(file, "WOW Version"), or `default_text`
// when the resource cannot be read. Never throws.
std::wstring GetFileInfoItem(const std::wstring& file_name, unsigned selector, const std::wstring& default_text);

// The fixed part's file version as "a.b.c.d", or empty text.
std::wstring GetFileVersionNumber(const std::wstring& file_name);

}  // namespace vantrel
