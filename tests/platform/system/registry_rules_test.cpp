#include "platform/system/registry_rules.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using vantrel_test::Printable;

TEST(ValueKind, FromRegistryType) {
    struct Case {
        std::uint32_t type;
        TValueKind kind;
    };
    const Case cases[] = {
        {0, TValueKind::vkUnknown},       // REG_NONE
        {1, TValueKind::vkString},        // REG_SZ
        {2, TValueKind::vkExpandString},  // REG_EXPAND_SZ
        {3, TValueKind::vkBinary},        // REG_BINARY
        {4, TValueKind::vkInteger},       // REG_DWORD
        {5, TValueKind::vkUnknown},       // REG_DWORD_BIG_ENDIAN
        {7, TValueKind::vkUnknown},       // REG_MULTI_SZ
        {11, TValueKind::vkUnknown},      // REG_QWORD
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        EXPECT_EQ(ValueKindOfType(c.type), c.kind);
    }
}

TEST(KeyPath, RelativeUnlessItStartsWithABackslash) {
    EXPECT_TRUE(IsRelativeKey(L""));
    EXPECT_TRUE(IsRelativeKey(L"SOFTWARE"));
    EXPECT_TRUE(IsRelativeKey(L"SOFTWARE\\"));
    EXPECT_FALSE(IsRelativeKey(L"\\SOFTWARE"));
    EXPECT_FALSE(IsRelativeKey(L"\\"));
}

TEST(RegistryView, ChosenFromTheFullPathUnderWow64) {
    struct Case {
        std::uint32_t mask;
        const wchar_t* key_path;  // the key open before
        const wchar_t* path;
        bool on_wow64;
        bool auto_view;
        std::uint32_t expected;
    };
    const Case cases[] = {
        // 64-bit view unless the node is named, any letter case
        {0x000F003F, L"", L"\\SOFTWARE\\Vantrel", true, true, 0x000F013F},
        {0x000F013F, L"", L"\\SOFTWARE\\Wow6432Node\\Vantrel", true, true, 0x000F003F},
        {0x000F013F, L"", L"\\software\\WOW6432NODE\\vantrel", true, true, 0x000F003F},
        {0x00020019 | 0x0100, L"", L"SOFTWARE\\Wow6432Node", true, true, 0x00020019},
        // relative paths count with the open key's path in front
        {0x000F013F, L"SOFTWARE\\Wow6432Node", L"Vantrel", true, true, 0x000F003F},
        {0x000F013F, L"SOFTWARE\\", L"Wow6432Node\\Vantrel", true, true, 0x000F003F},
        {0x000F003F, L"SOFTWARE\\Wow6432Node", L"\\SOFTWARE\\Vantrel", true, true, 0x000F013F},
        {0x000F003F, L"SOFTWARE", L"Vantrel", true, true, 0x000F013F},
        // AutoView off or 32-bit Windows: the mask stays as it is
        {0x000F003F, L"", L"\\SOFTWARE\\Vantrel", true, false, 0x000F003F},
        {0x000F013F, L"", L"\\SOFTWARE\\Wow6432Node\\Vantrel", true, false, 0x000F013F},
        {0x000F003F, L"", L"\\SOFTWARE\\Vantrel", false, true, 0x000F003F},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(std::wstring(c.key_path) + L" + " + c.path) + (c.on_wow64 ? " wow64" : " 32-bit") +
                     (c.auto_view ? " auto" : " fixed"));
        EXPECT_EQ(ChooseViewMask(c.mask, c.key_path, c.path, c.on_wow64, c.auto_view), c.expected);
    }
}

TEST(KeyPath, StoredPathOfAnOpenedKey) {
    struct Case {
        bool key_open;
        const wchar_t* key_path;
        const wchar_t* path;  // without its leading backslash
        bool relative;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {true, L"SOFTWARE\\Vantrel", L"Sub\\Deeper", true, L"SOFTWARE\\Vantrel\\Sub\\Deeper"},
        {true, L"SOFTWARE\\Vantrel", L"SOFTWARE\\Other", false, L"SOFTWARE\\Other"},
        {false, L"", L"SOFTWARE\\Vantrel", true, L"SOFTWARE\\Vantrel"},
        {false, L"", L"SOFTWARE\\Vantrel", false, L"SOFTWARE\\Vantrel"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(std::wstring(c.key_path) + L" + " + c.path));
        EXPECT_EQ(OpenedKeyPath(c.key_open, c.key_path, c.path, c.relative), c.expected);
    }
}

TEST(ValueText, DataUpToTheFirstNul) {
    struct Case {
        std::string data;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {std::string("a\0b\0\0\0", 6), L"ab"},
        {std::string("a\0b\0", 4), L"ab"},         // stored without its NUL
        {std::string("a\0\0\0b\0\0\0", 8), L"a"},  // text after a NUL is cut
        {std::string("\0\0x\0", 4), L""},
        {std::string("a\0b", 3), L"a"},  // an odd trailing byte is dropped
        {std::string(), L""},
        {std::string("\x3D\xD8\x00\xDE\0\0", 6), L"\U0001F600"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data.size());
        EXPECT_EQ(TextOfValueData(c.data), c.expected);
    }
}

TEST(RegistryError, NamesTheValue) {
    EXPECT_EQ(InvalidDataTypeMessage(L"InstallLocation"), "Invalid data type for 'InstallLocation'");
    EXPECT_EQ(InvalidDataTypeMessage(L""), "Invalid data type for ''");
    EXPECT_EQ(InvalidDataTypeMessage(L"Z\u00e4hler"), "Invalid data type for 'Z\xC3\xA4hler'");
    const ERegistryException error(InvalidDataTypeMessage(L"Count"));
    const EToolError& as_tool_error = error;
    EXPECT_STREQ(as_tool_error.what(), "Invalid data type for 'Count'");
}

}  // namespace
}  // namespace vantrel
