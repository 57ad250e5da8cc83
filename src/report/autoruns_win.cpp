#include "report/autoruns_win.h"

#include "platform/base/com_win.h"
#include "platform/base/errors.h"
#include "platform/base/handles_win.h"
#include "platform/base/wow64_win.h"
#include "platform/files/directory_win.h"
#include "platform/system/folders_win.h"
#include "platform/system/registry_rules.h"
#include "platform/system/registry_win.h"

#include <ole2.h>
#include <shlobj.h>

#include <vector>

namespace vantrel {

namespace {

constexpr DWORD kMaxValueName = 16384;  // value names have at most 16383 characters
constexpr DWORD kMaxKeyName = 256;      // key names have at most 255 characters
constexpr DWORD kShellLinkBuffer = 260;

TStringList ValueNames(HKEY key) {
    TStringList names;
    std::vector<wchar_t> name(kMaxValueName + 1);
    for (DWORD index = 0;; ++index) {
        DWORD length = kMaxValueName;
        if (::RegEnumValueW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name.data(), length);
    }
    return names;
}

TStringList SubkeyNames(HKEY key) {
    TStringList names;
    wchar_t name[kMaxKeyName + 1];
    for (DWORD index = 0;; ++index) {
        DWORD length = kMaxKeyName;
        if (::RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

HKEY RootKey(TAutorunRoot root) { return root == TAutorunRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

void ReadSource(const TLaunchSource& source, const TAutorunsContext& context, TStringList& lines) {
    const HKEY root = RootKey(source.Root);
    switch (source.Reader) {
        case TAutorunReader::UserStartupFolder: AddStartupFolder(context.UserStartupFolder, lines); break;
        case TAutorunReader::CommonStartupFolder: AddStartupFolder(context.CommonStartupFolder, lines); break;
        case TAutorunReader::NamedValues: AddNamedValues(root, source.Key, lines); break;
        case TAutorunReader::RunOnceEx: AddRunOnceEx(root, source.Key, lines); break;
        case TAutorunReader::DelimitedList: AddDelimitedValue(root, source.Key, source.ValueName, lines); break;
        case TAutorunReader::LogonProgram:
            AddLogonProgramValue(root, source.Key, source.ValueName, source.DefaultProgram, context, lines);
            break;
    }
}

}  // namespace

void AddNamedValues(HKEY root, const std::wstring& key, TStringList& lines) {
    ScopedRegKey handle = OpenRegistryKey(root, key);
    if (!handle) return;
    for (const std::wstring& name : ValueNames(handle.Get())) {
        lines.push_back(name + L"=" + ReadTextValue(handle.Get(), name));
    }
}

void AddRunOnceEx(HKEY root, const std::wstring& key, TStringList& lines) {
    TStringList subkeys;
    {
        ScopedRegKey handle = OpenRegistryKey(root, key);
        if (!handle) return;
        subkeys = SubkeyNames(handle.Get());
    }
    const std::wstring in_key = key + L"\\";
    for (const std::wstring& subkey : subkeys) {
        ScopedRegKey handle = OpenRegistryKey(root, in_key + subkey);
        if (!handle) continue;
        for (const std::wstring& name : ValueNames(handle.Get())) {
            TStringList entry = RunOnceExLines(ReadTextValue(handle.Get(), name));
            lines.insert(lines.end(), entry.begin(), entry.end());
        }
    }
}

void AddDelimitedValue(HKEY root, const std::wstring& key, const std::wstring& value, TStringList& lines) {
    ScopedRegKey handle = OpenRegistryKey(root, key);
    if (!handle) return;
    TStringList items = DelimitedValueLines(ReadTextValue(handle.Get(), value), L"", L"", L"");
    lines.insert(lines.end(), items.begin(), items.end());
}

void AddLogonProgramValue(HKEY root, const std::wstring& key, const std::wstring& value,
                          const std::wstring& default_program, const TAutorunsContext& context, TStringList& lines) {
    ScopedRegKey handle = OpenRegistryKey(root, key);
    if (!handle) return;
    TStringList items = DelimitedValueLines(ReadTextValue(handle.Get(), value), default_program, context.SystemFolder,
                                            context.WindowsFolder);
    lines.insert(lines.end(), items.begin(), items.end());
}

void AddStartupFolder(const std::wstring& folder, TStringList& lines) {
    if (folder.empty()) return;
    TStringList files;
    ListFilesRecursive(folder, files);
    for (const std::wstring& path : files) {
        if (IsStartupSkipName(ExtractFileName(path))) continue;
        lines.push_back(IsShortcutFile(path) ? ResolveShellLink(path) : path);
    }
}

std::wstring ResolveShellLink(const std::wstring& link_file) {
    ScopedOleInitialize ole;
    ComRef<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IShellLinkW,
                                  link.Receive()))) {
        throw EToolError("Cannot create the shell link object");
    }
    ComRef<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.Receive()))) {
        throw EToolError("The shell link object has no IPersistFile");
    }
    // The results of loading and querying are not examined: an unreadable
    // shortcut gives an empty target and arguments.
    file->Load(link_file.c_str(), 0);
    wchar_t target[kShellLinkBuffer] = {};
    wchar_t arguments[kShellLinkBuffer] = {};
    link->GetPath(target, kShellLinkBuffer, nullptr, SLGP_UNCPRIORITY);
    link->GetArguments(arguments, kShellLinkBuffer);
    target[kShellLinkBuffer - 1] = L'\0';
    arguments[kShellLinkBuffer - 1] = L'\0';
    return ShellLinkLine(target, arguments);
}

TAutorunsContext CurrentAutorunsContext() {
    const TAppFrame& frame = ReportAppFrame();
    TAutorunsContext context;
    context.UserStartupFolder = frame.GetFolder(kFolderKindStartup);
    context.CommonStartupFolder = GetSpecialFolder(nullptr, CSIDL_COMMON_STARTUP);
    context.WindowsFolder = frame.GetFolder(kFolderKindWindows);
    context.SystemFolder = frame.GetFolder(kFolderKindSystem);
    context.Wow64 = IsWow64();
    return context;
}

TStringList BuildAutoruns(const TAutorunsContext& context) {
    return AssembleAutoruns(
        kLaunchSources, kLaunchSourceCount, context.Wow64,
        [&context](const TLaunchSource& source, TStringList& lines) { ReadSource(source, context, lines); });
}

TStringList BuildAutoruns() { return BuildAutoruns(CurrentAutorunsContext()); }

}  // namespace vantrel
