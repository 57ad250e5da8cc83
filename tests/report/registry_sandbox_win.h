// Points HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE of the test process at
// scratch keys, so tests can seed the fixed launch points and uninstall
// entry without touching the shared test prefix's real keys. Only this
// process sees the change; it is undone, and the scratch keys deleted, when
// the sandbox goes away.
#pragma once

#include "platform/base/handles_win.h"
#include "platform/base/win.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <string>

namespace vantrel_test {

class RegistrySandbox {
public:
    RegistrySandbox() : root_path_(L"Software\\VantrelTestSandbox_" + UniqueSuffix()) {
        user_ = CreateKey(HKEY_CURRENT_USER, root_path_ + L"\\user");
        machine_ = CreateKey(HKEY_CURRENT_USER, root_path_ + L"\\machine");
        EXPECT_EQ(::RegOverridePredefKey(HKEY_CURRENT_USER, user_.Get()), ERROR_SUCCESS);
        EXPECT_EQ(::RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_.Get()), ERROR_SUCCESS);
    }
    ~RegistrySandbox() {
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        user_.Reset();
        machine_.Reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, root_path_.c_str());
    }
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // Sets a value below a root as the process now sees it; `view` may
    // name the registry view to write (KEY_WOW64_64KEY places a value at
    // exactly the path given, Wow6432Node included).
    static void Set(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, const void* data,
                    DWORD size, REGSAM view = 0) {
        vantrel::ScopedRegKey handle = CreateKey(root, key, view);
        ASSERT_EQ(::RegSetValueExW(handle.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }
    // A text value with its terminating NUL.
    static void SetText(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text,
                        DWORD type = REG_SZ, REGSAM view = 0) {
        Set(root, key, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1) * DWORD{sizeof(wchar_t)}, view);
    }
    static void SetDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD number) {
        Set(root, key, name, REG_DWORD, &number, sizeof number);
    }

private:
    static vantrel::ScopedRegKey CreateKey(HKEY root, const std::wstring& path, REGSAM view = 0) {
        vantrel::ScopedRegKey key;
        EXPECT_EQ(::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key.Receive(),
                                    nullptr),
                  ERROR_SUCCESS);
        return key;
    }

    std::wstring root_path_;
    vantrel::ScopedRegKey user_;
    vantrel::ScopedRegKey machine_;
};

}  // namespace vantrel_test
