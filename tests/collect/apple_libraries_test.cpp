#include "collect/apple_libraries.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(AppleFolders, SourceBelowCommonFilesPackedBelowTheWorkingFolder) {
    EXPECT_EQ(AppleSourceFolder(L"C:\\Program Files (x86)\\Common Files"),
              L"C:\\Program Files (x86)\\Common Files\\Apple\\Apple Application Support");
    EXPECT_EQ(AppleSourceFolder(L"C:\\Common\\"), L"C:\\Common\\Apple\\Apple Application Support");
    EXPECT_EQ(AppleCollectedName(kAppleLibraries[0]), L"iTunesDll\\ASL.dll");
    EXPECT_EQ(AppleCollectedName(kAppleLibraries[kAppleLibraryCount - 1]), L"iTunesDll\\libicuuc.dll");
}

TEST(AppleFolders, UnknownFoldersGiveNoPathRatherThanOneBelowTheCurrentDrive) {
    EXPECT_EQ(AppleSourceFolder(L""), L"");
}

}  // namespace
}  // namespace vantrel
