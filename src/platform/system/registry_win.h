// Reading the registry with WOW64 views. Under WOW64 a key is opened in the
// 64-bit view unless its path names "Wow6432Node" (then in the 32-bit view,
// reaching the 32-bit entries through the node), as long as AutoView is on.
#pragma once

#include "platform/base/handles_win.h"
#include "platform/base/win.h"
#include "platform/system/registry_rules.h"

#include <string>

namespace vantrel {

class TRegistry {
public:
    // Root HKEY_CURRENT_USER, access KEY_ALL_ACCESS, AutoView on, no key open;
    // OnWow64 is IsWow64 at this moment.
    TRegistry();
    // Closes the open key.
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // Choose the view from the key path on every open; set it false before
    // opening to keep the view of the access mask (for this 32-bit tool the
    // 32-bit view unless an earlier open chose the 64-bit one).
    bool AutoView = true;

    HKEY KeyHandle() const { return key_.Get(); }
    HKEY RootHandle() const { return root_; }
    // Path of the open key below the root, without leading backslash; empty
    // when no key is open.
    const std::wstring& KeyPath() const { return key_path_; }
    // The view bits, and after a successful open the access that succeeded.
    DWORD AccessMask() const { return access_mask_; }
    bool OnWow64() const { return on_wow64_; }

    // Makes `root` the root of absolute paths; a different root closes the
    // open key, the same root changes nothing.
    void SetRootHandle(HKEY root);

    // Opens `path` for reading: a path with a leading backslash below the
    // root, any other below the open key (or the root when none is open).
    // Tries KEY_READ, then KEY_READ without KEY_NOTIFY, then KEY_QUERY_VALUE.
    // On success the new key replaces the open one and true is returned; on
    // failure the open key stays and false is returned. Never throws.
    bool OpenKeyForRead(const std::wstring& path);

    // True when the open key holds the value `name` ("" is the default value).
    bool HasValue(const std::wstring& name) const;
    // The kind and data size of value `name`; false (info zeroed) when it or
    // the open key is missing.
    bool QueryValueInfo(const std::wstring& name, TValueInfo& info) const;
    // The data size of value `name` in bytes, or -1 when it is missing.
    std::int32_t ValueSize(const std::wstring& name) const;

    // The text of value `name`: empty for a missing or empty value or for
    // text longer than the 2048-byte buffer; REG_EXPAND_SZ as stored. Throws
    // ERegistryException "Invalid data type for '<name>'" for other types.
    std::wstring ReadText(const std::wstring& name) const;
    // Value `name` read through a 2048-byte buffer up to its first NUL, and
    // its kind; empty text when the read fails. Never throws.
    std::wstring ReadRawText(const std::wstring& name, TValueKind& kind) const;

    // Closes the open key (without flushing) and empties KeyPath.
    void CloseKeyHandle();

private:
    void ChooseView(const std::wstring& path);
    HKEY BaseHandle(bool relative) const;
    void AdoptKey(HKEY handle, const std::wstring& path);

    ScopedRegKey key_;
    HKEY root_ = HKEY_CURRENT_USER;
    std::wstring key_path_;
    DWORD access_mask_ = kKeyAllAccess;
    bool on_wow64_ = false;
};

// Opens the key `path` below `root` for `access` (the view bits included);
// an empty owner when it does not open.
ScopedRegKey OpenRegistryKey(HKEY root, const std::wstring& path, REGSAM access = KEY_READ);

// The text of value `name` of the key `path` below `root`, opened for
// `access`, as ReadTextValue gives it but empty for a value that is not text.
// False when the key does not open. Never throws.
bool ReadRegistryText(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM access, std::wstring& text);

// The text of value `name` of an open key, up to its first NUL and not
// expanded: empty when the value is missing, empty or cannot be read; a value
// of another type than REG_SZ or REG_EXPAND_SZ with data raises
// ERegistryException "Invalid data type for '%s'". A value that grows between
// sizing and reading is sized again.
std::wstring ReadTextValue(HKEY key, const std::wstring& name);

}  // namespace vantrel
