#include "platform/base/text.h"
#include "platform/system/registry_win.h"
#include "support/test_support.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace vantrel {
namespace {

using vantrel_test::Printable;
using vantrel_test::UniqueSuffix;

// Writes values into one registry view of the test machine.
class SeededKey {
public:
    SeededKey(HKEY root, const std::wstring& path, REGSAM view) {
        if (::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key_.Receive(),
                              nullptr) != ERROR_SUCCESS) {
            throw std::runtime_error("cannot create test key");
        }
    }
    void Text(const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
        Raw(name, type, text.c_str(), static_cast<DWORD>(text.size() + 1) * DWORD{sizeof(wchar_t)});
    }
    void Raw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        if (::RegSetValueExW(key_.Get(), name, 0, type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS) {
            throw std::runtime_error("cannot set test value");
        }
    }

private:
    ScopedRegKey key_;
};

// Removes a key tree of one view.
void DeleteTree(HKEY root, const wchar_t* parent, const std::wstring& name, REGSAM view) {
    const ScopedRegKey key = OpenRegistryKey(root, parent, KEY_ALL_ACCESS | view);
    if (key) {
        ::RegDeleteTreeW(key.Get(), name.c_str());
        ::RegDeleteKeyExW(key.Get(), name.c_str(), view, 0);
    }
}

// A machine key of a unique name, seeded differently in the 64-bit view
// and the 32-bit view, and a user key; all removed again.
class RegistryFixture : public testing::Test {
protected:
    void SetUp() override {
        SeededKey native(HKEY_LOCAL_MACHINE, L"SOFTWARE\\" + name_, KEY_WOW64_64KEY);
        native.Text(L"Where", L"64-bit view");
        native.Text(L"Empty", L"");
        native.Text(L"Expand", L"%SystemRoot%\\vantrel", REG_EXPAND_SZ);
        native.Text(L"Fits", std::wstring(1023, L'f'));     // 2048 bytes with its NUL
        native.Text(L"TooLong", std::wstring(1024, L'x'));  // 2050 bytes
        const DWORD count = 5;
        native.Raw(L"Count", REG_DWORD, &count, sizeof count);
        const unsigned char blob[] = {1, 2, 3};
        native.Raw(L"Blob", REG_BINARY, blob, sizeof blob);
        native.Text(L"Multi", std::wstring(L"a\0b\0", 4), REG_MULTI_SZ);
        SeededKey deeper(HKEY_LOCAL_MACHINE, L"SOFTWARE\\" + name_ + L"\\Sub\\Deeper", KEY_WOW64_64KEY);
        deeper.Text(L"", L"default of Deeper");
        SeededKey wow(HKEY_LOCAL_MACHINE, L"SOFTWARE\\" + name_, KEY_WOW64_32KEY);
        wow.Text(L"Where", L"32-bit view");
        SeededKey user(HKEY_CURRENT_USER, L"Software\\" + name_, 0);
        user.Text(L"Where", L"user");
    }
    void TearDown() override {
        DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE", name_, KEY_WOW64_64KEY);
        DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE", name_, KEY_WOW64_32KEY);
        DeleteTree(HKEY_CURRENT_USER, L"Software", name_, 0);
    }

    // Opens `path` under HKEY_LOCAL_MACHINE; fails the test when it does not open.
    void OpenMachine(TRegistry& registry, const std::wstring& path) {
        registry.SetRootHandle(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(registry.OpenKeyForRead(path)) << Printable(path);
    }

    const std::wstring name_ = L"VantrelRegistryTest_" + UniqueSuffix();
};

TEST_F(RegistryFixture, ViewFollowsTheKeyPathWithAutoView) {
    VANTREL_SKIP_WITHOUT_WOW64();
    struct Case {
        const wchar_t* prefix;
        bool auto_view;
        const wchar_t* expected;
        DWORD view_bits;
    };
    const Case cases[] = {
        {L"\\SOFTWARE\\", true, L"64-bit view", KEY_WOW64_64KEY},
        {L"\\SOFTWARE\\Wow6432Node\\", true, L"32-bit view", 0},
        {L"\\software\\WOW6432NODE\\", true, L"32-bit view", 0},
        {L"\\SOFTWARE\\", false, L"32-bit view", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.prefix) + (c.auto_view ? " auto" : " fixed"));
        TRegistry registry;
        EXPECT_TRUE(registry.OnWow64());
        registry.AutoView = c.auto_view;
        OpenMachine(registry, c.prefix + name_);
        EXPECT_EQ(registry.ReadText(L"Where"), c.expected);
        EXPECT_EQ(registry.HasValue(L"Count"), c.view_bits != 0);  // written to the 64-bit view only
        EXPECT_EQ(registry.AccessMask(), c.view_bits | KEY_READ);
        EXPECT_EQ(registry.KeyPath(), std::wstring(c.prefix).substr(1) + name_);
    }
}

TEST_F(RegistryFixture, UserKeysAreNotRedirected) {
    TRegistry registry;  // HKEY_CURRENT_USER
    ASSERT_TRUE(registry.OpenKeyForRead(L"Software\\" + name_));
    EXPECT_EQ(registry.ReadText(L"Where"), L"user");
}

TEST_F(RegistryFixture, RelativeOpenBelowTheOpenKeyJoinsThePath) {
    TRegistry registry;
    OpenMachine(registry, L"\\SOFTWARE\\" + name_);
    ASSERT_TRUE(registry.OpenKeyForRead(L"Sub\\Deeper"));
    EXPECT_EQ(registry.KeyPath(), L"SOFTWARE\\" + name_ + L"\\Sub\\Deeper");
    EXPECT_EQ(registry.ReadText(L""), L"default of Deeper");

    // An absolute path goes below the root again and is stored without its backslash.
    ASSERT_TRUE(registry.OpenKeyForRead(L"\\SOFTWARE\\" + name_));
    EXPECT_EQ(registry.KeyPath(), L"SOFTWARE\\" + name_);
    EXPECT_EQ(registry.ReadText(L"Where"), L"64-bit view");
}

TEST_F(RegistryFixture, FailedOpenKeepsTheOpenKey) {
    TRegistry registry;
    OpenMachine(registry, L"\\SOFTWARE\\" + name_);
    EXPECT_FALSE(registry.OpenKeyForRead(L"NoSuchKey"));
    EXPECT_FALSE(registry.OpenKeyForRead(L"\\SOFTWARE\\" + name_ + L"_missing"));
    EXPECT_EQ(registry.KeyPath(), L"SOFTWARE\\" + name_);
    EXPECT_EQ(registry.ReadText(L"Where"), L"64-bit view");
}

TEST_F(RegistryFixture, RootChangeClosesTheKeyAndTheSameRootKeepsIt) {
    TRegistry registry;
    OpenMachine(registry, L"\\SOFTWARE\\" + name_);
    registry.SetRootHandle(HKEY_LOCAL_MACHINE);
    EXPECT_NE(registry.KeyHandle(), nullptr);
    EXPECT_TRUE(registry.HasValue(L"Where"));
    registry.SetRootHandle(HKEY_CURRENT_USER);
    EXPECT_EQ(registry.KeyHandle(), nullptr);
    EXPECT_EQ(registry.KeyPath(), L"");
    EXPECT_FALSE(registry.HasValue(L"Where"));
    EXPECT_EQ(registry.ValueSize(L"Where"), -1);
    EXPECT_EQ(registry.ReadText(L"Where"), L"");
}

TEST_F(RegistryFixture, ValueKindsAndSizes) {
    struct Case {
        const wchar_t* name;
        bool exists;
        TValueKind kind;
        std::int32_t size;
    };
    const Case cases[] = {
        {L"Where", true, TValueKind::vkString, 24},
        {L"Empty", true, TValueKind::vkString, 2},
        {L"Expand", true, TValueKind::vkExpandString, 42},
        {L"Count", true, TValueKind::vkInteger, 4},
        {L"Blob", true, TValueKind::vkBinary, 3},
        {L"Multi", true, TValueKind::vkUnknown, 10},
        {L"Missing", false, TValueKind::vkUnknown, -1},
        {L"", false, TValueKind::vkUnknown, -1},  // no default value on this key
    };
    TRegistry registry;
    OpenMachine(registry, L"\\SOFTWARE\\" + name_);
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.name));
        TValueInfo info;
        info.Size = 99;
        EXPECT_EQ(registry.QueryValueInfo(c.name, info), c.exists);
        EXPECT_EQ(info.Kind, c.kind);
        EXPECT_EQ(info.Size, c.exists ? c.size : 0);
        EXPECT_EQ(registry.HasValue(c.name), c.exists);
        EXPECT_EQ(registry.ValueSize(c.name), c.size);
    }
}

TEST_F(RegistryFixture, ReadTextOfEachKind) {
    struct Case {
        const wchar_t* name;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"Where", L"64-bit view"},
        {L"Missing", L""},
        {L"Empty", L""},
        {L"Expand", L"%SystemRoot%\\vantrel"},  // not expanded
        {L"Fits", std::wstring(1023, L'f')},
        {L"TooLong", L""},  // larger than the 2048-byte buffer
    };
    TRegistry registry;
    OpenMachine(registry, L"\\SOFTWARE\\" + name_);
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.name));
        EXPECT_EQ(registry.ReadText(c.name), c.expected);
    }
}

TEST_F(RegistryFixture, ReadTextOfANonTextValueRaises) {
    TRegistry registry;
    OpenMachine(registry, L"\\SOFTWARE\\" + name_);
    for (const wchar_t* name : {L"Count", L"Blob", L"Multi"}) {
        SCOPED_TRACE(Printable(name));
        try {
            registry.ReadText(name);
            ADD_FAILURE() << "no exception";
        } catch (const ERegistryException& error) {
            EXPECT_EQ(std::string(error.what()), "Invalid data type for '" + EncodeUtf8(name) + "'");
        }
    }
}

TEST_F(RegistryFixture, RawTextReportsTheKind) {
    TRegistry registry;
    OpenMachine(registry, L"\\SOFTWARE\\" + name_);
    TValueKind kind = TValueKind::vkUnknown;
    EXPECT_EQ(registry.ReadRawText(L"Expand", kind), L"%SystemRoot%\\vantrel");
    EXPECT_EQ(kind, TValueKind::vkExpandString);
    EXPECT_EQ(registry.ReadRawText(L"TooLong", kind), L"");
    EXPECT_EQ(kind, TValueKind::vkString);
}

}  // namespace
}  // namespace vantrel
