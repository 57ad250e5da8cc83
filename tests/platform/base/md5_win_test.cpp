#include "platform/base/handles_win.h"
#include "platform/base/md5.h"
#include "platform/base/text.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using vantrel_test::TempFolder;
using vantrel_test::WriteFileBytes;

const wchar_t kEmptyDigest[] = L"d41d8cd98f00b204e9800998ecf8427e";

std::wstring Md5HexOf(const std::string& bytes) {
    TMd5Context context;
    Md5Init(context);
    Md5Update(context, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    TMd5Digest digest;
    Md5Final(context, digest);
    return DigestToHex(digest);
}

std::string Pattern(std::size_t n) {
    std::string bytes(n, '\0');
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * 7 + i / 65536) % 251);
    return bytes;
}

ScopedFileHandle OpenHeld(const std::wstring& path, DWORD access, DWORD sharing) {
    return ScopedFileHandle(
        ::CreateFileW(path.c_str(), access, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

TEST(FileMD5, ContentOrTheEmptyInputDigest) {
    TempFolder dir(L"md5");
    WriteFileBytes(dir.Path() + L"abc.txt", "abc");
    WriteFileBytes(dir.Path() + L"empty.txt", "");
    struct Case {
        const wchar_t* name;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"abc.txt", L"900150983cd24fb0d6963f7d28e17f72"},
        {L"empty.txt", kEmptyDigest},
        {L"missing.txt", kEmptyDigest},
        {L"", kEmptyDigest},  // the folder itself
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(EncodeUtf8(c.name));
        EXPECT_EQ(FileMD5Hex(dir.Path() + c.name), c.expected);
    }
}

TEST(FileMD5, FileHeldWithoutSharingReadsAsEmpty) {
    TempFolder dir(L"md5");
    const std::wstring path = dir.Path() + L"held.bin";
    WriteFileBytes(path, "abc");
    {
        ScopedFileHandle held = OpenHeld(path, GENERIC_READ, 0);
        ASSERT_TRUE(held.Valid());
        EXPECT_EQ(FileMD5Hex(path), kEmptyDigest);
    }
    EXPECT_EQ(FileMD5Hex(path), L"900150983cd24fb0d6963f7d28e17f72");
}

TEST(FileMD5, FileOpenForWritingElsewhereIsStillRead) {
    // A program that keeps its log open for writing and lets others read it.
    TempFolder dir(L"md5");
    const std::wstring path = dir.Path() + L"busy.log";
    WriteFileBytes(path, "abc");
    ScopedFileHandle writer = OpenHeld(path, GENERIC_WRITE, FILE_SHARE_READ);
    ASSERT_TRUE(writer.Valid());
    EXPECT_EQ(FileMD5Hex(path), L"900150983cd24fb0d6963f7d28e17f72");
}

TEST(FileMD5, ContentReadWholeOrThroughSeveralViews) {
    TempFolder dir(L"md5");
    const std::uint32_t kView = 64 * 1024;
    const std::size_t sizes[] = {kMd5ReadBytes, kMd5ReadBytes + 1, kMd5ReadBytes + 3 * std::size_t{kView} + 100};
    for (std::size_t size : sizes) {
        SCOPED_TRACE(size);
        const std::wstring path = dir.Path() + L"f" + DecimalText(static_cast<std::uint64_t>(size)) + L".bin";
        const std::string bytes = Pattern(size);
        WriteFileBytes(path, bytes);
        TMd5Digest digest;
        FileMD5InViews(path, digest, kView);
        EXPECT_EQ(DigestToHex(digest), Md5HexOf(bytes));
        EXPECT_EQ(FileMD5Hex(path), Md5HexOf(bytes));
    }
}

}  // namespace
}  // namespace vantrel
