#include "platform/system/folder_rules.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using vantrel_test::Printable;

TEST(FolderKinds, EveryKindAnswersFromItsSource) {
    struct Case {
        std::uint32_t kind;
        TFolderSource source;
        int csidl;
    };
    // The folder-kind table as the report's sections number it.
    const Case cases[] = {
        {0, TFolderSource::Windows, 0},        {1, TFolderSource::System, 0},  {2, TFolderSource::Temp, 0},
        {3, TFolderSource::Shell, 32},         {4, TFolderSource::Shell, 33},  {5, TFolderSource::Shell, 34},
        {6, TFolderSource::Shell, 8},          {7, TFolderSource::Shell, 16},  {8, TFolderSource::Shell, 2},
        {9, TFolderSource::Shell, 6},          {10, TFolderSource::Shell, 7},  {11, TFolderSource::Shell, 40},
        {12, TFolderSource::Shell, 26},        {13, TFolderSource::Shell, 28}, {14, TFolderSource::None, 0},
        {15, TFolderSource::Shell, 38},        {16, TFolderSource::Shell, 43}, {17, TFolderSource::Shell, 11},
        {18, TFolderSource::Shell, 35},        {19, TFolderSource::Shell, 28}, {20, TFolderSource::Shell, 20},
        {21, TFolderSource::Shell, 21},        {22, TFolderSource::Shell, 19}, {23, TFolderSource::Shell, 9},
        {24, TFolderSource::Shell, 13},        {25, TFolderSource::Shell, 14}, {26, TFolderSource::Shell, 27},
        {27, TFolderSource::Shell, 39},        {28, TFolderSource::Shell, 41}, {29, TFolderSource::Shell, 42},
        {30, TFolderSource::Shell, 43},        {31, TFolderSource::Shell, 44}, {32, TFolderSource::Shell, 48},
        {33, TFolderSource::Shell, 56},        {34, TFolderSource::Shell, 59}, {35, TFolderSource::Shell, 5},
        {36, TFolderSource::None, 0},          {37, TFolderSource::None, 0},   {1000, TFolderSource::None, 0},
        {0xFFFFFFFFu, TFolderSource::None, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        const TFolderKind kind = FolderKindFor(c.kind);
        EXPECT_EQ(kind.Source, c.source);
        if (c.source == TFolderSource::Shell) {
            EXPECT_EQ(kind.Csidl, c.csidl);
        }
    }
}

TEST(ShellAnswer, TakenOnlyWhenLongerThanABareDrive) {
    struct Case {
        const wchar_t* folder;
        bool usable;
    };
    const Case cases[] = {
        {L"", false}, {L"C", false}, {L"C:", false}, {L"C:\\", true}, {L"C:\\Users\\a\\Desktop", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.folder));
        EXPECT_EQ(IsUsableShellFolder(c.folder), c.usable);
    }
}

TEST(SpecialFolderFallback, VariableAndDefaultPathPerOsVersionAndWow64) {
    struct Case {
        int csidl;
        bool wow64;
        bool vista;
        const wchar_t* variable;
        const wchar_t* path;
    };
    const Case cases[] = {
        {26, false, true, L"APPDATA", L"\\Users\\ann\\AppData\\Roaming"},
        {26, true, false, L"APPDATA", L"\\Documents and Settings\\ann\\Application Data"},
        {28, true, true, L"LOCALAPPDATA", L"\\Users\\ann\\AppData\\Local"},
        {28, false, false, L"LOCALAPPDATA", L"\\Documents and Settings\\ann\\Local Settings\\Application Data"},
        {35, false, true, L"ProgramData", L"\\ProgramData"},
        {35, true, false, L"ProgramData", L"\\Documents and Settings\\All Users\\Application Data"},
        {38, false, true, L"ProgramFiles", L"\\Program Files"},
        {38, true, true, L"ProgramFiles(x86)", L"\\Program Files (x86)"},
        {38, false, false, L"ProgramFiles", L"\\Program Files"},
        {38, true, false, L"ProgramFiles(x86)", L"\\Program Files (x86)"},
        {43, false, true, L"CommonProgramFiles", L"\\Program Files\\Common Files"},
        {43, true, true, L"CommonProgramFiles(x86)", L"\\Program Files (x86)\\Common Files"},
        {43, true, false, L"CommonProgramFiles(x86)", L"\\Program Files (x86)\\Common Files"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "csidl " << c.csidl << " wow64 " << c.wow64 << " vista " << c.vista);
        EXPECT_TRUE(HasSpecialFolderFallback(c.csidl));
        EXPECT_EQ(Printable(FallbackVariable(c.csidl, c.wow64)), Printable(c.variable));
        EXPECT_EQ(Printable(FallbackDefaultPath(c.csidl, c.wow64, c.vista, L"ann")), Printable(c.path));
    }
}

TEST(SpecialFolderFallback, NoneForOtherFolders) {
    // The desktop, Startup and the x86 program files have no fall-back.
    for (int csidl : {0, 16, 24, 27, 42, 44}) {
        SCOPED_TRACE(csidl);
        EXPECT_FALSE(HasSpecialFolderFallback(csidl));
        EXPECT_EQ(FallbackVariable(csidl, true), L"");
        EXPECT_EQ(FallbackDefaultPath(csidl, true, true, L"ann"), L"");
    }
}

TEST(SpecialFolderFallback, EnvironmentValueLosesSurroundingBlanksOnly) {
    struct Case {
        const wchar_t* value;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"  D:\\Roaming  ", L"D:\\Roaming"},
        {L"\tC:\\Program Files (x86)\r\n", L"C:\\Program Files (x86)"},
        {L"   ", L""},
        {L"", L""},
        {L"C:\\Program Files", L"C:\\Program Files"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.value));
        EXPECT_EQ(TrimEnvironmentValue(c.value), c.expected);
    }
}

TEST(AppDataDefault, PerOsVersionOnTheSystemDrive) {
    struct Case {
        bool common;
        unsigned major;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {true, 6, L"C:\\ProgramData"},
        {false, 6, L"C:\\Users\\Bob Smith\\AppData\\Roaming"},
        {true, 10, L"C:\\ProgramData"},
        {true, 5, L"C:\\Documents and Settings\\All Users\\Application Data"},
        {false, 5, L"C:\\Documents and Settings\\Bob Smith\\Application Data"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "common " << c.common << " major " << c.major);
        EXPECT_EQ(AppDataDefaultPath(L"C:", L"Bob Smith", c.common, IsVistaOrLater(c.major)), c.expected);
    }
}

TEST(FileDrive, DriveLetterOrUncShare) {
    struct Case {
        const wchar_t* path;
        const wchar_t* drive;
    };
    const Case cases[] = {
        {L"C:\\windows\\system32\\kernel32.dll", L"C:"},
        {L"d:", L"d:"},
        {L"\\\\server\\share\\windows\\kernel32.dll", L"\\\\server\\share"},
        {L"\\\\server\\share", L"\\\\server\\share"},
        {L"\\windows\\kernel32.dll", L""},
        {L"kernel32.dll", L""},
        {L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Printable(c.path));
        EXPECT_EQ(ExtractFileDrive(c.path), c.drive);
    }
}

}  // namespace
}  // namespace vantrel
