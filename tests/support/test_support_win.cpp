#include "support/test_support_win.h"

#include "platform/base/handles_win.h"
#include "platform/base/text.h"
#include "platform/files/directory_win.h"
#include "platform/files/find_entries_win.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace vantrel_test {

using vantrel::IncludeTrailingBackslash;

TempFolder::TempFolder(const std::wstring& name_hint) {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    path_ = IncludeTrailingBackslash(temp) + L"vtest_" + name_hint + L"_" + UniqueSuffix() + L"\\";
    RemoveTree(path_);
    if (!::CreateDirectoryW(path_.c_str(), nullptr)) throw std::runtime_error("cannot create temp folder");
}

TempFolder::~TempFolder() { RemoveTree(path_); }

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    std::wstring folder = vantrel::ExtractFilePath(path);
    // Create missing folders one level at a time.
    for (std::size_t i = 3; i < folder.size(); ++i) {
        if (folder[i] == L'\\') ::CreateDirectoryW(folder.substr(0, i).c_str(), nullptr);
    }
    vantrel::ScopedFileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw std::runtime_error("cannot create " + vantrel::EncodeUtf8(path));
    DWORD written = 0;
    if (!bytes.empty() &&
        (!::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
         written != bytes.size())) {
        throw std::runtime_error("cannot write " + vantrel::EncodeUtf8(path));
    }
}

std::string ReadFileBytes(const std::wstring& path) {
    vantrel::ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) throw std::runtime_error("cannot open " + vantrel::EncodeUtf8(path));
    std::string out;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
    return out;
}

std::map<std::wstring, std::string> CollectedContents(const vantrel::TCollected& collected) {
    std::map<std::wstring, std::string> contents;
    for (const vantrel::TCollectedFile& file : collected.Files()) {
        LARGE_INTEGER start = {};
        std::string bytes;
        char buffer[65536];
        DWORD got = 0;
        if (!::SetFilePointerEx(file.Handle.Get(), start, nullptr, FILE_BEGIN)) {
            throw std::runtime_error("cannot seek " + vantrel::EncodeUtf8(file.Source));
        }
        while (bytes.size() < file.Size) {
            const auto ask = static_cast<DWORD>(std::min<std::uint64_t>(sizeof buffer, file.Size - bytes.size()));
            if (!::ReadFile(file.Handle.Get(), buffer, ask, &got, nullptr)) {
                throw std::runtime_error("cannot read " + vantrel::EncodeUtf8(file.Source));
            }
            if (got == 0) break;
            bytes.append(buffer, got);
        }
        ::SetFilePointerEx(file.Handle.Get(), start, nullptr, FILE_BEGIN);
        contents[file.Name] = bytes;
    }
    return contents;
}

void RemoveTree(const std::wstring& path) {
    // Extended-length, so that names with trailing dots or spaces, device
    // names and long paths go too.
    std::wstring dir = vantrel::ExcludeTrailingBackslash(path);
    if (dir.size() > 2 && dir[1] == L':') dir = L"\\\\?\\" + dir;
    const std::wstring in_dir = dir + L"\\";
    for (const WIN32_FIND_DATAW& data : vantrel::FindEntries(in_dir + L"*")) {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring child = in_dir + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            RemoveLink(child);  // the link, never what it points to
            continue;
        }
        ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            RemoveTree(child);
        else
            ::DeleteFileW(child.c_str());
    }
    ::SetFileAttributesW(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryW(dir.c_str());
}

std::wstring UnixToWindowsPath(const std::string& unix_path) {
    std::wstring path = L"Z:" + vantrel::DecodeUtf8(unix_path);
    for (auto& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

std::wstring FixtureDir() {
    const char* dir = std::getenv("VANTREL_FIXTURE_DIR");
#ifdef VANTREL_FIXTURE_DIR
    if (dir == nullptr) dir = VANTREL_FIXTURE_DIR;
#endif
    if (dir == nullptr) throw std::runtime_error("VANTREL_FIXTURE_DIR is not set");
    return IncludeTrailingBackslash(UnixToWindowsPath(dir));
}

std::wstring UniqueSuffix() {
    static unsigned counter = 0;
    return vantrel::DecimalText(static_cast<std::uint32_t>(::GetCurrentProcessId())) + L"_" +
           vantrel::DecimalText(static_cast<std::uint32_t>(++counter));
}

namespace {

std::string UnixName(const std::wstring& path) {
    using UnixNameFn = char*(CDECL*)(LPCWSTR);
    static const auto unix_name = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (unix_name == nullptr) return std::string();
    char* name = unix_name(path.c_str());
    if (name == nullptr) return std::string();
    std::string result(name);
    ::HeapFree(::GetProcessHeap(), 0, name);
    return result;
}

}  // namespace

namespace {

bool RunUnix(std::wstring command) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    ::WaitForSingleObject(process.hProcess, 30000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

std::wstring Quoted(const std::string& unix_path) { return L"\"" + vantrel::DecodeUtf8(unix_path) + L"\""; }

}  // namespace

bool RemoveLink(const std::wstring& link) {
    const std::wstring bare_link = vantrel::ExcludeTrailingBackslash(link);
    const std::string unix_link = UnixName(bare_link);
    if (unix_link.empty() || !RunUnix(L"/bin/rm -f " + Quoted(unix_link))) return false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (::GetFileAttributesW(bare_link.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
        ::Sleep(50);
    }
    return false;
}

bool MakeLink(const std::wstring& link, const std::wstring& target, bool hard) {
    const std::wstring bare_link = vantrel::ExcludeTrailingBackslash(link);
    const std::string unix_link = UnixName(bare_link);
    const std::string unix_target = UnixName(vantrel::ExcludeTrailingBackslash(target));
    if (unix_link.empty() || unix_target.empty()) return false;
    if (!RunUnix(L"/bin/ln " + std::wstring(hard ? L"" : L"-s ") + Quoted(unix_target) + L" " + Quoted(unix_link))) {
        return false;
    }
    // The Unix program may end after Wine says it has; wait until the link
    // shows (Wine lists a link to a folder as a reparse point and hides a
    // dangling one).
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (!vantrel::FindEntries(bare_link).empty()) return true;
        ::Sleep(50);
    }
    return false;
}

namespace {

// The prefix's folder of drive letters, from where drive C: lies.
std::string DriveLetterFolder() {
    std::string c = UnixName(L"C:\\");
    while (!c.empty() && c.back() == '/') c.pop_back();
    const std::size_t slash = c.rfind('/');
    return slash == std::string::npos ? std::string() : c.substr(0, slash);
}

}  // namespace

bool MapDriveLetter(wchar_t letter, const std::wstring& folder) {
    const std::string letters = DriveLetterFolder();
    const std::string target = UnixName(vantrel::ExcludeTrailingBackslash(folder));
    if (letters.empty() || target.empty()) return false;
    const std::string drive = letters + "/" + static_cast<char>(letter | 0x20) + ":";
    if (!RunUnix(L"/bin/ln -sfn " + Quoted(target) + L" " + Quoted(drive))) return false;
    // Seen both as a drive and in the extended-length form, which Wine
    // resolves apart.
    const std::wstring root = std::wstring(1, letter) + L":\\";
    const std::wstring extended = L"\\\\?\\" + root;
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (::GetFileAttributesW(root.c_str()) != INVALID_FILE_ATTRIBUTES &&
            ::GetFileAttributesW(extended.c_str()) != INVALID_FILE_ATTRIBUTES) {
            return true;
        }
        ::Sleep(50);
    }
    return false;
}

bool UnmapDriveLetter(wchar_t letter) {
    const std::string letters = DriveLetterFolder();
    return !letters.empty() && RunUnix(L"/bin/rm -f " + Quoted(letters + "/" + static_cast<char>(letter | 0x20) + ":"));
}

std::vector<std::wstring> TreeOf(const std::wstring& folder) {
    std::vector<std::wstring> tree;
    for (const WIN32_FIND_DATAW& data : vantrel::FindEntries(folder + L"*")) {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const bool entered = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                             !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
        tree.push_back(name + (entered ? L"\\" : L""));
        if (entered) {
            const std::wstring entry = name + L"\\";
            for (const std::wstring& child : TreeOf(folder + entry)) tree.push_back(entry + child);
        }
    }
    return tree;
}

LockerProcess::LockerProcess(const std::wstring& path) {
    name_ = L"vantrel_lock_" + UniqueSuffix();
    ready_.Reset(::CreateEventW(nullptr, TRUE, FALSE, (name_ + L"_ready").c_str()));
    done_.Reset(::CreateEventW(nullptr, TRUE, FALSE, (name_ + L"_done").c_str()));
    std::wstring command = L"\"" + FixtureDir() + L"file_locker\\file_locker.exe\" \"" + path + L"\" " + name_;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
    process_.Reset(pi.hProcess);
    ::CloseHandle(pi.hThread);
    HANDLE both[] = {ready_.Get(), process_.Get()};
    holding_ = ::WaitForMultipleObjects(2, both, FALSE, 30000) == WAIT_OBJECT_0;
}

LockerProcess::~LockerProcess() {
    ::SetEvent(done_.Get());
    if (process_) ::WaitForSingleObject(process_.Get(), 30000);
}

}  // namespace vantrel_test
