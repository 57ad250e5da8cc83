#include "support/test_support_win.h"

#include "platform/handles_win.h"
#include "platform/text.h"

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
    vantrel::ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                 FILE_ATTRIBUTE_NORMAL, nullptr));
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

void RemoveTree(const std::wstring& path) {
    std::wstring dir = vantrel::ExcludeTrailingBackslash(path);
    WIN32_FIND_DATAW data;
    vantrel::ScopedFindHandle find(::FindFirstFileW((dir + L"\\*").c_str(), &data));
    if (find) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = dir + L"\\" + name;
            ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(child);
            else ::DeleteFileW(child.c_str());
        } while (::FindNextFileW(find.Get(), &data));
    }
    find.Reset();
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

}  // namespace vantrel_test
