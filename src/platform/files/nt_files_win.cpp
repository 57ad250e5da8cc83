#include "platform/files/nt_files_win.h"

#include "platform/base/file_open_win.h"
#include "platform/base/optional_api_win.h"

#include <cstring>
#include <vector>

namespace vantrel {

namespace {

// The native interface's own types, as ntdll.dll defines them.
using NTSTATUS_ = LONG;

struct TIoStatus {
    union {
        NTSTATUS_ Status;
        void* Pointer;
    };
    ULONG_PTR Information;
};

struct TUnicodeText {
    USHORT Length;
    USHORT MaximumLength;
    PWSTR Buffer;
};

struct TObjectAttributes {
    ULONG Length;
    HANDLE RootDirectory;
    TUnicodeText* ObjectName;
    ULONG Attributes;
    void* SecurityDescriptor;
    void* SecurityQualityOfService;
};

struct TBasicInformation {
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    ULONG FileAttributes;
};

struct TRenameInformation {
    BOOLEAN ReplaceIfExists;
    HANDLE RootDirectory;
    ULONG FileNameLength;
    WCHAR FileName[1];
};

const ULONG kFileBasicInformation = 4;
const ULONG kFileNameInformation = 9;
const ULONG kFileRenameInformation = 10;
const ULONG kFileDispositionInformation = 13;
const ULONG kObjCaseInsensitive = 0x40;
const ULONG kFileOpen = 1;
const ULONG kFileCreate = 2;
const ULONG kFileNonDirectoryFile = 0x40;
const ULONG kFileSynchronousIoNonalert = 0x20;
const ULONG kFileOpenReparsePoint = 0x00200000;

// False for a failed status, whose Windows error then becomes the thread's
// last error, as a failed Windows call leaves it.
bool Succeeded(NTSTATUS_ status) {
    if (status >= 0) return true;
    const auto to_error = optional_api::RtlNtStatusToDosError();
    ::SetLastError(to_error != nullptr ? to_error(status) : ERROR_GEN_FAILURE);
    return false;
}

bool SetInformation(HANDLE file, void* data, ULONG size, ULONG information_class) {
    const auto set = optional_api::NtSetInformationFile();
    if (set == nullptr) {
        ::SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    TIoStatus status = {};
    return Succeeded(set(file, &status, data, size, information_class));
}

}  // namespace

bool NativeFileName(HANDLE file, std::wstring& name) {
    const auto query = optional_api::NtQueryInformationFile();
    if (query == nullptr) return false;
    std::vector<ULONG> buffer(1024);  // ULONG-aligned; grown for long paths
    while (true) {
        TIoStatus status = {};
        const ULONG size = static_cast<ULONG>(buffer.size()) * static_cast<ULONG>(sizeof(ULONG));
        const NTSTATUS_ result = query(file, &status, buffer.data(), size, kFileNameInformation);
        const ULONG length = buffer[0];
        if (result >= 0) {
            name.assign(reinterpret_cast<const wchar_t*>(buffer.data() + 1), length / sizeof(wchar_t));
            return true;
        }
        // STATUS_BUFFER_OVERFLOW: the length is known, the name cut.
        if (static_cast<ULONG>(result) != 0x80000005u || length + sizeof(ULONG) <= size) return false;
        buffer.resize(length / sizeof(ULONG) + 2);
    }
}

bool NativeDeleteOnClose(HANDLE file) {
    BOOLEAN remove = TRUE;
    return SetInformation(file, &remove, sizeof remove, kFileDispositionInformation);
}

bool NativeSetAttributes(HANDLE file, DWORD attributes) {
    TBasicInformation basic = {};  // zero times are left as they are
    basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    return SetInformation(file, &basic, sizeof basic, kFileBasicInformation);
}

ScopedFileHandle NativeOpenFileIn(HANDLE folder, const std::wstring& name, DWORD access, DWORD share,
                                  TNativeDisposition disposition, DWORD attributes) {
    const auto create = optional_api::NtCreateFile();
    if (create == nullptr || name.empty()) {
        ::SetLastError(create == nullptr ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_NAME);
        return ScopedFileHandle();
    }
    const bool creates = disposition == TNativeDisposition::CreateNew;
    if (!AccessPermitted(creates ? TAccessKind::Create : TAccessKind::Open, name, folder, access, false)) {
        return ScopedFileHandle();
    }
    std::wstring text = name;
    TUnicodeText unicode = {static_cast<USHORT>(text.size() * sizeof(wchar_t)),
                            static_cast<USHORT>(text.size() * sizeof(wchar_t)), &text[0]};
    TObjectAttributes object = {sizeof object, folder, &unicode, kObjCaseInsensitive, nullptr, nullptr};
    TIoStatus status = {};
    HANDLE handle = nullptr;
    const NTSTATUS_ result = create(
        &handle, access | SYNCHRONIZE, &object, &status, nullptr, attributes, share, creates ? kFileCreate : kFileOpen,
        kFileNonDirectoryFile | kFileSynchronousIoNonalert | kFileOpenReparsePoint, nullptr, 0);
    if (!Succeeded(result) || handle == nullptr) return ScopedFileHandle();
    return ScopedFileHandle(handle);
}

ScopedFileHandle NativeCreateNewFileIn(HANDLE folder, const std::wstring& name, DWORD attributes) {
    return NativeOpenFileIn(folder, name, GENERIC_WRITE | DELETE, 0, TNativeDisposition::CreateNew, attributes);
}

bool NativeRenameInto(HANDLE file, HANDLE folder, const std::wstring& name, bool replace) {
    if (!AccessPermitted(TAccessKind::Create, name, folder)) return false;
    const std::size_t bytes = name.size() * sizeof(wchar_t);
    std::vector<char> buffer(sizeof(TRenameInformation) + bytes);
    auto* rename = reinterpret_cast<TRenameInformation*>(buffer.data());
    rename->ReplaceIfExists = replace ? TRUE : FALSE;
    rename->RootDirectory = folder;
    rename->FileNameLength = static_cast<ULONG>(bytes);
    std::memcpy(rename->FileName, name.data(), bytes);
    return SetInformation(file, rename, static_cast<ULONG>(buffer.size()), kFileRenameInformation);
}

}  // namespace vantrel
