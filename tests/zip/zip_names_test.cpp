#include "zip/zip_names.h"

#include "platform/base/text.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <map>

namespace vantrel {
namespace {

using vantrel_test::Printable;

struct NameCase {
    const wchar_t* root;
    const wchar_t* path;
    bool store_paths;
    bool relative_paths;
    const wchar_t* expected;
};

TEST(EntryName, RelativeToTheRootWithSlashes) {
    const NameCase cases[] = {
        {L"C:\\Temp\\GetInfoDir\\", L"C:\\Temp\\GetInfoDir\\Vantrel_Debug_Info.txt", true, true,
         L"Vantrel_Debug_Info.txt"},
        {L"C:\\Temp\\GetInfoDir\\", L"C:\\Temp\\GetInfoDir\\iTunesDll\\ASL.dll", true, true, L"iTunesDll/ASL.dll"},
        {L"C:\\Temp\\GetInfoDir\\", L"c:\\TEMP\\getinfodir\\AppData\\log\\a.log", true, true, L"AppData/log/a.log"},
        // a root that is only the start of a folder name cuts nothing
        {L"C:\\Temp\\Get\\", L"C:\\Temp\\GetInfoDir\\a.txt", true, true, L"Temp/GetInfoDir/a.txt"},
        // outside the root: no drive, no leading slash
        {L"C:\\Temp\\GetInfoDir\\", L"D:\\Other\\x.txt", true, true, L"Other/x.txt"},
        {L"C:\\Temp\\GetInfoDir\\", L"\\\\server\\share\\x.txt", true, true, L"server/share/x.txt"},
        {L"C:\\Temp\\GetInfoDir\\", L"C:\\Temp\\GetInfoDir\\iTunesDll\\ASL.dll", true, false,
         L"Temp/GetInfoDir/iTunesDll/ASL.dll"},
        {L"C:\\Temp\\GetInfoDir\\", L"C:\\Temp\\GetInfoDir\\iTunesDll\\ASL.dll", false, false, L"ASL.dll"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.path));
        EXPECT_EQ(ArchiveEntryName(c.root, c.path, c.store_paths, c.relative_paths), c.expected);
    }
}

// A toy pair of code pages. "ANSI" holds the first 256 code points, with a
// best fit of l-stroke to "l" and "?" for the rest. "OEM" holds ASCII, e-acute
// and E-acute, maps both A-grave and a-grave to a byte that comes back as
// a-grave, fits O-stroke to "O" and gives "?" for the rest.
std::string ToyWideToAnsi(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c == 0x142)
            out += 'l';
        else
            out += static_cast<std::uint32_t>(c) < 0x100 ? static_cast<char>(c) : '?';
    }
    return out;
}
std::wstring ToyAnsiToWide(const std::string& text) { return WidenLatin1(text); }
std::string ToyAnsiToOem(const std::string& text) {
    static const std::map<unsigned char, char> table = {
        {0xE9, '\x82'}, {0xC9, '\x90'}, {0xC0, '\x85'}, {0xE0, '\x85'}, {0xD8, 'O'}};
    std::string out;
    for (unsigned char c : text) {
        auto it = table.find(c);
        out += c < 0x80 ? static_cast<char>(c) : it != table.end() ? it->second : '?';
    }
    return out;
}
std::string ToyOemToAnsi(const std::string& text) {
    static const std::map<unsigned char, char> table = {{0x82, '\xE9'}, {0x90, '\xC9'}, {0x85, '\xE0'}};
    std::string out;
    for (unsigned char c : text) {
        auto it = table.find(c);
        out += c < 0x80 ? static_cast<char>(c) : it != table.end() ? it->second : '?';
    }
    return out;
}
bool ToySameText(const std::wstring& a, const std::wstring& b) {
    auto fold = [](std::wstring s) {
        for (wchar_t& c : s) {
            if ((c >= L'a' && c <= L'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) c = static_cast<wchar_t>(c - 0x20);
        }
        return s;
    };
    return fold(a) == fold(b);
}
const TNameCodePages kToyPages = {ToyWideToAnsi, ToyAnsiToWide, ToyAnsiToOem, ToyOemToAnsi, ToySameText};

struct EncodeCase {
    const char* name_utf8;
    TOemConvert mode;
    std::string bytes;
    bool utf8;
};

TEST(EntryName, OemBytesWhenBothCodePagesHoldTheNameElseUtf8) {
    const EncodeCase cases[] = {
        {"Vantrel_Debug_Info.txt", TOemConvert::oemFlexible, "Vantrel_Debug_Info.txt", false},
        {"AppPath/Caf\xC3\xA9.log", TOemConvert::oemFlexible, "AppPath/Caf\x82.log", false},
        // the OEM round trip changes only the letter case
        {"\xC3\x80 la carte.txt", TOemConvert::oemFlexible, "\x85 la carte.txt", false},
        // not in "ANSI": a best fit and a "?"
        {"\xC5\x82\xC3\xB3"
         "d\xC5\xBA.txt",
         TOemConvert::oemFlexible,
         "\xC5\x82\xC3\xB3"
         "d\xC5\xBA.txt",
         true},
        // in "ANSI" but only fitted in "OEM"
        {"\xC3\x98resund.txt", TOemConvert::oemFlexible, "\xC3\x98resund.txt", true},
        {"\xE6\x97\xA5\xE6\x9C\xAC/a.txt", TOemConvert::oemFlexible, "\xE6\x97\xA5\xE6\x9C\xAC/a.txt", true},
        {"smile \xF0\x9F\x98\x80.txt", TOemConvert::oemFlexible, "smile \xF0\x9F\x98\x80.txt", true},
        {"plain.txt", TOemConvert::oemNever, "plain.txt", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name_utf8);
        TEncodedName encoded = EncodeEntryName(DecodeUtf8(c.name_utf8), c.mode, kToyPages);
        EXPECT_EQ(encoded.Bytes, c.bytes);
        EXPECT_EQ(encoded.Utf8, c.utf8);
    }
}

TEST(Wildcard, StarsQuestionMarksAndCase) {
    struct Case {
        const wchar_t* pattern;
        const wchar_t* name;
        bool matches;
    };
    const Case cases[] = {
        {L"*", L"anything.txt", true},
        {L"*", L"", true},
        {L"*.txt", L"a.TXT", true},
        {L"*.txt", L"a.txt.bak", false},
        {L"a?c", L"abc", true},
        {L"a?c", L"ac", false},
        {L"*a*b", L"xaxxab", true},
        {L"*a*b", L"xaxxabc", false},
        {L"Vantrel*.log*", L"vantrel.log.bak1", true},
        {L"", L"", true},
        {L"", L"a", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(std::wstring(c.pattern) + L" ~ " + c.name));
        EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.matches);
    }
}

// The order a walk of an NTFS folder meets its files in, for paths given
// upper-cased: the backslash separates, it is never compared as a character.
TEST(WalkOrder, ComponentsInUtf16UnitOrder) {
    struct Case {
        const wchar_t* first;
        const wchar_t* second;
    };
    const Case cases[] = {
        {L"APPDATA\\CORE.INI", L"APPPATH\\VANTREL.LOG"},
        {L"A\\Z.TXT", L"A-B.TXT"},   // '\' (5C) would sort after '-' (2D) as a character
        {L"A\\Z.TXT", L"A.TXT"},     // the folder "A" is listed before the file "A.TXT"
        {L"AB\\X", L"A_B"},          // upper-cased names: 'B' (42) before '_' (5F)
        {L"LOG\\X", L"LOG.BAK\\X"},  // a name before the longer name it begins
        {L"Z", L"\u00C4"},           // beyond ASCII by unit value
        {L"\uD7FF", L"\U0001F600"},  // beyond the first plane: by its surrogates, which lie
        {L"\U0001F600", L"\uE000"},  // below the first plane's last units
        {L"HANDSET VAULT\\A\\1.BIN", L"HANDSET VAULT\\B\\0.BIN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(std::wstring(c.first) + L" < " + c.second));
        EXPECT_TRUE(WalkedBefore(c.first, c.second));
        EXPECT_FALSE(WalkedBefore(c.second, c.first));
    }
    EXPECT_FALSE(WalkedBefore(L"A\\B", L"A\\B"));
}

}  // namespace
}  // namespace vantrel
