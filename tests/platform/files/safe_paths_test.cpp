#include "platform/files/safe_paths.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using vantrel_test::Printable;

const wchar_t kVolume[] = L"\\??\\Volume{0a1b2c3d-4e5f-6789-abcd-ef0123456789}\\";

TEST(LinkReparseTag, OnlySymbolicLinksJunctionsAndUnreadableTagsAreLinks) {
    struct Case {
        std::uint32_t tag;
        const wchar_t* target;
        bool link;
    };
    const Case cases[] = {
        {kReparseTagSymlink, L"", true},
        {kReparseTagMountPoint, L"\\??\\C:\\Users\\other", true},  // a junction
        {kReparseTagMountPoint, kVolume, false},                   // a volume mounted into a folder
        {kReparseTagMountPoint, L"\\??\\Volume{0a1b2c3d-4e5f-6789-abcd-ef0123456789}\\Windows", true},
        {0, L"", true},             // the tag could not be read
        {0x9000001Au, L"", false},  // cloud placeholder
        {0x80000013u, L"", false},  // deduplicated file
        {0x80000017u, L"", false},  // compressed system file
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Printable(c.target) + " tag " + std::to_string(c.tag));
        EXPECT_EQ(IsLinkReparseTag(c.tag, c.target), c.link);
    }
}

TEST(VolumeRootTarget, ExactlyAVolumeNameWithItsBackslash) {
    EXPECT_TRUE(IsVolumeRootTarget(kVolume));
    const wchar_t* const others[] = {
        L"\\??\\Volume{0a1b2c3d-4e5f-6789-abcd-ef0123456789}",    // no backslash
        L"\\??\\Volume{0a1b2c3d-4e5f-6789-abcd-ef012345678g}\\",  // not hex
        L"\\??\\Volume{0a1b2c3d04e5f-6789-abcd-ef0123456789}\\",  // dash missing
        L"\\??\\C:\\",
        L"",
    };
    for (const wchar_t* target : others) EXPECT_FALSE(IsVolumeRootTarget(target)) << Printable(target);
}

TEST(ExtendedLengthPath, DrivesAndSharesGetThePrefixOnce) {
    struct Case {
        const wchar_t* in;
        const wchar_t* out;
    };
    const Case cases[] = {
        {L"C:\\Temp\\dup.log.", L"\\\\?\\C:\\Temp\\dup.log."},
        {L"c:\\", L"\\\\?\\c:\\"},
        {L"\\\\server\\share\\x", L"\\\\?\\UNC\\server\\share\\x"},
        {L"\\\\?\\C:\\x", L"\\\\?\\C:\\x"},
        {L"\\\\?\\UNC\\s\\x", L"\\\\?\\UNC\\s\\x"},
        {L"\\\\.\\pipe\\x", L"\\\\.\\pipe\\x"},
        {L"relative\\x", L"relative\\x"},
        {L"C:relative", L"C:relative"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExtendedLengthPath(c.in), c.out) << Printable(c.in);
        if (std::wstring(c.in).rfind(L"\\\\?\\", 0) != 0) {
            EXPECT_EQ(WithoutExtendedPrefix(ExtendedLengthPath(c.in)), c.in) << Printable(c.in);
        }
    }
}

TEST(FolderPathToOpen, RootsKeepTheirBackslash) {
    struct Case {
        const wchar_t* in;
        const wchar_t* out;
    };
    const Case cases[] = {
        {L"C:\\Out\\", L"C:\\Out"},
        {L"C:\\Out", L"C:\\Out"},
        {L"C:\\", L"C:\\"},  // without it, the drive's current folder
        {L"\\\\?\\D:\\", L"\\\\?\\D:\\"},
        {L"\\\\server\\share\\", L"\\\\server\\share\\"},
        {L"\\\\server\\share\\in\\", L"\\\\server\\share\\in"},
        {L"\\\\?\\UNC\\server\\share\\", L"\\\\?\\UNC\\server\\share\\"},
        {L"\\\\?\\UNC\\server\\share\\in\\", L"\\\\?\\UNC\\server\\share\\in"},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(FolderPathToOpen(c.in), c.out) << Printable(c.in);
}

TEST(PlainRelativePath, StaysBelowTheFolder) {
    const wchar_t* const plain[] = {
        L"a.log", L"log\\Vantrel.log",         L"dup.log.",         L"trailing space ", L"con.log",
        L"nul",   L"handset vault\\A\\a1.bin", L"\u00e9t\u00e9.txt"};
    for (const wchar_t* relative : plain) EXPECT_TRUE(IsPlainRelativePath(relative)) << Printable(relative);
    const wchar_t* const leaving[] = {L"",    L"..\\x", L"a\\..\\..\\x", L".\\x", L"a\\\\b", L"\\x",
                                      L"x\\", L"C:\\x", L"x:stream",     L"a/b",  L"*.log",  L"a\x01"};
    for (const wchar_t* relative : leaving) EXPECT_FALSE(IsPlainRelativePath(relative)) << Printable(relative);
}

}  // namespace
}  // namespace vantrel
