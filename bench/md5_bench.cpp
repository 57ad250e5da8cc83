// Throughput probe for the MD5 code, built by bench/md5_bench.py.
//
// Native:   md5_bench FILE...              prints "DIGEST  FILE" per file, like md5sum
// Windows:  md5_bench.exe map|read PASSES DIR
//           digests every file below DIR, PASSES times, either with FileMD5
//           (mapped views) or with a plain ReadFile loop feeding Md5Update,
//           then prints a combined digest, the bytes and the seconds spent.
#include "platform/base/md5.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Hex(const vantrel::TMd5Digest& digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t b : digest) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

}  // namespace

#ifndef _WIN32

#include <fcntl.h>
#include <unistd.h>

int main(int argc, char** argv) {
    std::vector<unsigned char> buffer(1 << 16);
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        int fd = ::open(argv[i], O_RDONLY);
        if (fd < 0) {
            std::perror(argv[i]);
            status = 1;
            continue;
        }
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        vantrel::TMd5Context context;
        vantrel::Md5Init(context);
        ssize_t got;
        while ((got = ::read(fd, buffer.data(), buffer.size())) > 0) {
            vantrel::Md5Update(context, buffer.data(), static_cast<std::uint32_t>(got));
        }
        ::close(fd);
        vantrel::TMd5Digest digest;
        vantrel::Md5Final(context, digest);
        std::printf("%s  %s\n", Hex(digest).c_str(), argv[i]);
    }
    return status;
}

#else

#include "platform/base/handles_win.h"

#include <cwchar>

namespace {

void ListFiles(const std::wstring& dir, std::vector<std::wstring>& files) {
    WIN32_FIND_DATAW data;
    vantrel::ScopedFindHandle find(::FindFirstFileW((dir + L"\\*").c_str(), &data));
    if (!find) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(dir + L"\\" + name, files);
        else
            files.push_back(dir + L"\\" + name);
    } while (::FindNextFileW(find.Get(), &data));
}

// The plain loop the mapped reading is measured against.
void ReadAndDigest(const std::wstring& path, vantrel::TMd5Digest& digest) {
    static std::vector<unsigned char> buffer(1 << 16);
    vantrel::TMd5Context context;
    vantrel::Md5Init(context);
    vantrel::ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    DWORD got = 0;
    while (file && ::ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0) {
        vantrel::Md5Update(context, buffer.data(), got);
    }
    vantrel::Md5Final(context, digest);
}

std::uint64_t SizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: md5_bench map|read PASSES DIR\n");
        return 2;
    }
    const bool mapped = std::wcscmp(argv[1], L"map") == 0;
    const int passes = static_cast<int>(std::wcstol(argv[2], nullptr, 10));
    std::vector<std::wstring> files;
    ListFiles(argv[3], files);

    std::uint64_t bytes = 0;
    for (const auto& path : files) bytes += SizeOf(path);
    bytes *= static_cast<std::uint64_t>(passes);

    LARGE_INTEGER frequency, start, stop;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    // The digest of all the file digests in order, to compare the two ways.
    vantrel::TMd5Context all;
    vantrel::Md5Init(all);
    for (int pass = 0; pass < passes; ++pass) {
        for (const auto& path : files) {
            vantrel::TMd5Digest digest;
            if (mapped)
                vantrel::FileMD5(path, digest);
            else
                ReadAndDigest(path, digest);
            vantrel::Md5Update(all, digest.data(), static_cast<std::uint32_t>(digest.size()));
        }
    }
    ::QueryPerformanceCounter(&stop);
    vantrel::TMd5Digest combined;
    vantrel::Md5Final(all, combined);
    const double seconds = double(stop.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    std::printf("files %u combined %s bytes %llu seconds %.3f\n", static_cast<unsigned>(files.size()),
                Hex(combined).c_str(), static_cast<unsigned long long>(bytes), seconds);
    return 0;
}

#endif
