#include "report/installed_files.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using vantrel_test::Printable;

TEST(InventoryLine, LabelsAndDates) {
    const TLocaleFormats us;  // M/d/yyyy h:mm:ss tt
    const std::wstring md5 = L"d41d8cd98f00b204e9800998ecf8427e";
    struct Case {
        const wchar_t* relative;
        const wchar_t* version;
        TDateTimeParts written;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"bin\\codec.dll", L"1.0.0.1", TDateTimeParts{2016, 3, 14, 10, 2, 33},
         L"bin\\codec.dll   Ver:1.0.0.1   MD5:d41d8cd98f00b204e9800998ecf8427e   DT:3/14/2016 10:02:33 AM"},
        {L"readme.txt", L"", TDateTimeParts{2016, 3, 14, 22, 2, 33, 500},
         L"readme.txt   Ver:   MD5:d41d8cd98f00b204e9800998ecf8427e   DT:3/14/2016 10:02:33 PM"},
        // exactly midnight (milliseconds do not count): the date alone
        {L"a.dat", L"", TDateTimeParts{2020, 1, 2, 0, 0, 0, 750},
         L"a.dat   Ver:   MD5:d41d8cd98f00b204e9800998ecf8427e   DT:1/2/2020"},
        {L"a.dat", L"", TDateTimeParts{2020, 1, 2, 0, 0, 1},
         L"a.dat   Ver:   MD5:d41d8cd98f00b204e9800998ecf8427e   DT:1/2/2020 12:00:01 AM"},
        // the zero date-time of a file whose attributes cannot be read
        {L"gone.dll", L"", TDateTimeParts(), L"gone.dll   Ver:   MD5:d41d8cd98f00b204e9800998ecf8427e   DT:12/30/1899"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.expected));
        EXPECT_EQ(FormatInventoryLine(c.relative, c.version, md5, c.written, us), c.expected);
    }
    TLocaleFormats german;
    german.ShortDatePattern = L"dd.MM.yyyy";
    german.LongTimePattern = L"HH:mm:ss";
    EXPECT_EQ(FormatInventoryLine(L"x", L"", md5, TDateTimeParts{2016, 3, 4, 9, 2, 3}, german),
              L"x   Ver:   MD5:" + md5 + L"   DT:04.03.2016 09:02:03");
}

TEST(InventoryRules, ResourcesFolderAndRelativePaths) {
    const std::wstring dir = L"C:\\Program Files\\Vantrel\\";
    struct Case {
        const wchar_t* path;
        bool excluded;
        const wchar_t* relative;
    };
    const Case cases[] = {
        {L"C:\\Program Files\\Vantrel\\Vantrel.exe", false, L"Vantrel.exe"},
        {L"C:\\Program Files\\Vantrel\\bin\\codec.dll", false, L"bin\\codec.dll"},
        {L"C:\\Program Files\\Vantrel\\iTunes.Resources\\a.plist", true, L"iTunes.Resources\\a.plist"},
        {L"C:\\Program Files\\Vantrel\\iTunes.Resources\\en.lproj\\b.strings", true,
         L"iTunes.Resources\\en.lproj\\b.strings"},
        // other letter case, or deeper in the tree, is not the excluded folder
        {L"C:\\Program Files\\Vantrel\\itunes.resources\\a.plist", false, L"itunes.resources\\a.plist"},
        {L"C:\\Program Files\\Vantrel\\sub\\iTunes.Resources\\a.plist", false, L"sub\\iTunes.Resources\\a.plist"},
        {L"C:\\Program Files\\Vantrel\\iTunes.Resources.bak\\a", false, L"iTunes.Resources.bak\\a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.path));
        EXPECT_EQ(IsInResourcesFolder(c.path, dir), c.excluded);
        EXPECT_EQ(RelativeToFolder(c.path, dir), c.relative);
    }
}

TEST(InventoryRules, InstallDirFallsBackToTheModuleFolderAndEndsWithBackslash) {
    EXPECT_EQ(InstallDirFrom(L"C:\\Program Files\\Vantrel", L"C:\\Tools\\tool.exe"), L"C:\\Program Files\\Vantrel\\");
    EXPECT_EQ(InstallDirFrom(L"C:\\Program Files\\Vantrel\\", L"C:\\Tools\\tool.exe"), L"C:\\Program Files\\Vantrel\\");
    EXPECT_EQ(InstallDirFrom(L"", L"C:\\Tools\\tool.exe"), L"C:\\Tools\\");
}

}  // namespace
}  // namespace vantrel
