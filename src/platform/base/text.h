// Small text helpers shared by the report sections. Pure code: no Windows
// header, builds natively too. Strings are std::wstring; on Windows wchar_t
// is one UTF-16 unit, elsewhere one code point, and the encoder below turns
// either into UTF-16LE bytes.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace vantrel {

// The report's line list: an ordered list of lines; an entry may itself hold
// CR LF pairs.
using TStringList = std::vector<std::wstring>;

// Appends the UTF-16LE bytes of `text` to `out` (surrogate pairs for code
// points above 0xFFFF when wchar_t holds code points).
void AppendUtf16Le(std::string& out, const std::wstring& text);

// The bytes of a text file in the tool's own format: BOM FF FE, then every
// line followed by CR LF, all in UTF-16LE.
std::string EncodeUtf16LinesFile(const TStringList& lines);

// Decodes UTF-16LE bytes (an odd trailing byte is dropped).
std::wstring DecodeUtf16Le(const std::string& bytes);
std::wstring DecodeUtf16Be(const std::string& bytes);
// Decodes UTF-8; invalid sequences become U+FFFD.
std::wstring DecodeUtf8(const std::string& bytes);
std::string EncodeUtf8(const std::wstring& text);

// Widens 8-bit text one byte to one character (bytes taken as Latin-1).
std::wstring WidenLatin1(const std::string& text);
// Narrows ASCII text; other characters become '?'.
std::string NarrowAscii(const std::wstring& text);

// Pads on the right (left-aligned) or left (right-aligned) with `fill` to at
// least `width` characters; a longer text is never cut.
std::wstring PadRight(const std::wstring& text, std::size_t width, wchar_t fill = L' ');
std::wstring PadLeft(const std::wstring& text, std::size_t width, wchar_t fill = L' ');

// Decimal without digit grouping.
std::wstring DecimalText(std::int64_t value);
std::wstring DecimalText(std::uint64_t value);
// A UTF-16 code unit (or, where wchar_t is 32 bits wide, a code point) as
// an unsigned number, whatever the signedness of wchar_t.
inline std::uint32_t CodeUnit(wchar_t c) {
    return static_cast<std::uint32_t>(static_cast<std::make_unsigned<wchar_t>::type>(c));
}

inline std::wstring DecimalText(std::int32_t value) { return DecimalText(static_cast<std::int64_t>(value)); }
inline std::wstring DecimalText(std::uint32_t value) { return DecimalText(static_cast<std::uint64_t>(value)); }
// Hexadecimal without leading zeros (or padded with zeros to `digits`).
std::wstring HexUpper(std::uint64_t value, std::size_t digits = 0);
std::wstring HexLower(std::uint64_t value, std::size_t digits = 0);
// "%.2f": two decimals, rounded half away from zero, with the given separator.
std::wstring Fixed2(double value, wchar_t decimal_separator);

// Letter case of A-Z / a-z only.
wchar_t UpperAscii(wchar_t c);
wchar_t LowerAscii(wchar_t c);
std::wstring UpperAscii(const std::wstring& text);
std::wstring LowerAscii(const std::wstring& text);
bool EqualsNoCaseAscii(const std::wstring& a, const std::wstring& b);
bool StartsWithNoCaseAscii(const std::wstring& text, const std::wstring& prefix);
bool StartsWith(const std::wstring& text, const std::wstring& prefix);
bool EndsWith(const std::wstring& text, const std::wstring& suffix);

// Replaces every occurrence of `from` (matched on the upper-cased forms given
// by `upper`) by `to`, left to right, the replaced text not searched again.
std::wstring ReplaceAllNoCase(const std::wstring& text, const std::wstring& from, const std::wstring& to,
                              std::wstring (*upper)(const std::wstring&) = UpperAscii);
// Case-sensitive replacement of every occurrence.
std::wstring ReplaceAll(const std::wstring& text, const std::wstring& from, const std::wstring& to);

// Removes leading and trailing characters with codes 0 to 32.
std::wstring TrimControl(const std::wstring& text);
// True when the text holds only characters with codes 0 to 32.
bool IsBlank(const std::wstring& text);

// Path pieces. The folder part keeps its trailing backslash or drive colon.
std::wstring ExtractFilePath(const std::wstring& path);
std::wstring ExtractFileName(const std::wstring& path);
// The extension with its dot, or empty.
std::wstring ExtractFileExt(const std::wstring& path);
std::wstring ChangeFileExt(const std::wstring& path, const std::wstring& ext);
std::wstring IncludeTrailingBackslash(const std::wstring& path);
std::wstring ExcludeTrailingBackslash(const std::wstring& path);

// Splits at the last backslash: the part before it (without it) and after it;
// a text without backslash gives an empty folder and itself as the name.
void SplitAtLastBackslash(const std::wstring& path, std::wstring& folder, std::wstring& name);

}  // namespace vantrel
