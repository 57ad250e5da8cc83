#include "platform/system/registry_win.h"

#include "platform/base/contain_win.h"
#include "platform/base/wow64_win.h"

#include <vector>

namespace vantrel {

TRegistry::TRegistry() : on_wow64_(IsWow64()) {}

TRegistry::~TRegistry() { CloseKeyHandle(); }

void TRegistry::SetRootHandle(HKEY root) {
    if (root == root_) return;
    root_ = root;
    CloseKeyHandle();
}

void TRegistry::ChooseView(const std::wstring& path) {
    access_mask_ = ChooseViewMask(access_mask_, key_path_, path, on_wow64_, AutoView);
}

HKEY TRegistry::BaseHandle(bool relative) const { return key_ && relative ? key_.Get() : root_; }

void TRegistry::AdoptKey(HKEY handle, const std::wstring& path) {
    CloseKeyHandle();
    key_.Reset(handle);
    key_path_ = path;
}

bool TRegistry::OpenKeyForRead(const std::wstring& path) {
    ChooseView(path);
    const bool relative = IsRelativeKey(path);
    const std::wstring sub_key = relative ? path : path.substr(1);
    const DWORD view = access_mask_ & kKeyViewBits;
    for (DWORD access : kReadAccessAttempts) {
        ScopedRegKey opened = OpenRegistryKey(BaseHandle(relative), sub_key, view | access);
        if (!opened) continue;
        access_mask_ = view | access;
        AdoptKey(opened.Release(), OpenedKeyPath(static_cast<bool>(key_), key_path_, sub_key, relative));
        return true;
    }
    return false;
}

bool TRegistry::HasValue(const std::wstring& name) const {
    TValueInfo info;
    return QueryValueInfo(name, info);
}

bool TRegistry::QueryValueInfo(const std::wstring& name, TValueInfo& info) const {
    info = TValueInfo();
    if (!key_) return false;
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (::RegQueryValueExW(key_.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    info.Kind = ValueKindOfType(type);
    info.Size = static_cast<std::int32_t>(size);
    return true;
}

std::int32_t TRegistry::ValueSize(const std::wstring& name) const {
    TValueInfo info;
    return QueryValueInfo(name, info) ? info.Size : -1;
}

std::wstring TRegistry::ReadText(const std::wstring& name) const {
    if (ValueSize(name) <= 0) return std::wstring();
    TValueKind kind = TValueKind::vkUnknown;
    std::wstring text = ReadRawText(name, kind);
    if (kind == TValueKind::vkString || kind == TValueKind::vkExpandString) return text;
    throw ERegistryException(InvalidDataTypeMessage(name));
}

std::wstring TRegistry::ReadRawText(const std::wstring& name, TValueKind& kind) const {
    DWORD type = REG_NONE;
    std::wstring text;
    const bool read = ContainFailure(L"registry", [&] {
        std::string data(kTextValueBufferBytes, '\0');
        DWORD size = kTextValueBufferBytes;
        if (key_ && ::RegQueryValueExW(key_.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data[0]),
                                       &size) == ERROR_SUCCESS) {
            data.resize(size < kTextValueBufferBytes ? size : kTextValueBufferBytes);
            text = TextOfValueData(data);
        }
    });
    if (!read) text = kRegistryReadErrorText;
    kind = ValueKindOfType(type);
    return text;
}

void TRegistry::CloseKeyHandle() {
    key_.Reset();
    key_path_.clear();
}

ScopedRegKey OpenRegistryKey(HKEY root, const std::wstring& path, REGSAM access) {
    ScopedRegKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, access, key.Receive()) != ERROR_SUCCESS) key.Reset();
    return key;
}

bool ReadRegistryText(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM access,
                      std::wstring& text) {
    text.clear();
    const ScopedRegKey key = OpenRegistryKey(root, path, access);
    if (!key) return false;
    try {
        text = ReadTextValue(key.Get(), name);
    } catch (const ERegistryException&) {
        text.clear();
    }
    return true;
}

std::wstring ReadTextValue(HKEY key, const std::wstring& name) {
    // A value that grows between sizing and reading is sized again, a few times.
    constexpr int kReadAttempts = 4;
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        DWORD type = REG_NONE;
        DWORD size = 0;
        if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0) {
            return std::wstring();
        }
        if (type != REG_SZ && type != REG_EXPAND_SZ) throw ERegistryException(InvalidDataTypeMessage(name));
        std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
        DWORD bytes = size;
        LONG result =
            ::RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes);
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS) return std::wstring();
        if (type != REG_SZ && type != REG_EXPAND_SZ) throw ERegistryException(InvalidDataTypeMessage(name));
        return std::wstring(data.data());
    }
    return std::wstring();
}

}  // namespace vantrel
