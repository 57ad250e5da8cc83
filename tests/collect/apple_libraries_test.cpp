#include "collect/apple_libraries.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(AppleFolders, SourceBelowCommonFilesDestinationBelowTemp) {
    EXPECT_EQ(AppleSourceFolder(L"C:\\Program Files (x86)\\Common Files"),
              L"C:\\Program Files (x86)\\Common Files\\Apple\\Apple Application Support");
    EXPECT_EQ(AppleSourceFolder(L"C:\\Common\\"), L"C:\\Common\\Apple\\Apple Application Support");
    EXPECT_EQ(AppleDestinationFolder(L"C:\\Temp\\GetInfoDir.1f\\GetInfoDir\\"),
              L"C:\\Temp\\GetInfoDir.1f\\GetInfoDir\\iTunesDll");
}

TEST(AppleFolders, UnknownFoldersGiveNoPathRatherThanOneBelowTheCurrentDrive) {
    EXPECT_EQ(AppleSourceFolder(L""), L"");
    EXPECT_EQ(AppleDestinationFolder(L""), L"");
}

}  // namespace
}  // namespace vantrel
