// The careful file code on its own (links_win, user_data_win, replace_win):
// each shape a user can plant below (or in place of) a folder of the user's
// data, under each kind of rights a run reads with, and whether the open
// succeeds. Wine enforces no rights, so
// the user's rights are the shape of the check, not a denial: where Windows
// would bound a read by the user's rights (a file link, a hard link), the
// bounded modes open it here.
#include "platform/files/links_win.h"
#include "platform/files/replace_win.h"
#include "platform/files/user_data_win.h"

#include "platform/base/file_io_win.h"
#include "platform/base/file_open_win.h"
#include "platform/base/text.h"
#include "platform/files/safe_paths.h"
#include "platform/system/impersonation_win.h"
#include "support/test_support.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <string>

namespace vantrel {
namespace {

using vantrel_test::MakeLink;
using vantrel_test::ReadFileBytes;
using vantrel_test::RemoveLink;
using vantrel_test::TempFolder;
using vantrel_test::WriteFileBytes;

// The shapes, each planted at "data\<name>" (or, for the folder itself,
// as "data" in place of the folder).
enum class TShape {
    PlainFile,         // the user's own file
    FileLink,          // a symbolic link to another account's file
    HardLink,          // a second name of another account's file
    FolderLink,        // a folder link below the data folder, to another account's folder
    DanglingLink,      // a link whose target is gone
    LinkedDataFolder,  // the data folder itself a link a user made, to another account's folder
    OtherVolume,       // the data folder reached through another drive letter: an ordinary machine
};

const char* Name(TShape shape) {
    switch (shape) {
        case TShape::PlainFile: return "plain file";
        case TShape::FileLink: return "file link";
        case TShape::HardLink: return "hard link";
        case TShape::FolderLink: return "folder link";
        case TShape::DanglingLink: return "dangling link";
        case TShape::LinkedDataFolder: return "data folder a link";
        case TShape::OtherVolume: return "another volume";
    }
    return "?";
}

// The rights a run reads the user's data with.
enum class TRights { Own, UsersOwn, UsersToken };

const char* Name(TRights rights) {
    switch (rights) {
        case TRights::Own: return "the run's own rights (no user's to be had)";
        case TRights::UsersOwn: return "the run's own rights are the user's";
        case TRights::UsersToken: return "the session user's token";
    }
    return "?";
}

TUserRights RightsOf(TRights rights) {
    switch (rights) {
        case TRights::Own: return TUserRights();
        case TRights::UsersOwn: return TUserRights::OwnAreTheUsers();
        case TRights::UsersToken: return TUserRights::OfSessionUser();
    }
    return TUserRights();
}

class CarefulFiles : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFileBytes(other() + L"secret.txt", "another account's");
        WriteFileBytes(other() + L"hard.txt", "another account's");
        WriteFileBytes(other() + L"folder\\inner.txt", "another account's");
        WriteFileBytes(other() + L"gone.txt", "soon gone");
        ::CreateDirectoryW(ExcludeTrailingBackslash(data()).c_str(), nullptr);
    }

    std::wstring other() const { return other_.Path(); }
    std::wstring data() const { return temp_.Path() + L"data\\"; }

    // Plants `shape`; returns the data folder to read and the file below it.
    void Plant(TShape shape, std::wstring& folder, std::wstring& relative) {
        folder = data();
        relative = L"file.txt";
        switch (shape) {
            case TShape::PlainFile: WriteFileBytes(data() + L"file.txt", "the user's"); break;
            case TShape::FileLink: ASSERT_TRUE(MakeLink(data() + L"file.txt", other() + L"secret.txt")); break;
            case TShape::HardLink: ASSERT_TRUE(MakeLink(data() + L"file.txt", other() + L"hard.txt", true)); break;
            case TShape::FolderLink:
                ASSERT_TRUE(MakeLink(data() + L"logs", other() + L"folder"));
                relative = L"logs\\inner.txt";
                break;
            case TShape::DanglingLink:
                ASSERT_TRUE(MakeLink(data() + L"file.txt", other() + L"gone.txt"));
                ::DeleteFileW((other() + L"gone.txt").c_str());
                break;
            case TShape::LinkedDataFolder:
                ASSERT_TRUE(MakeLink(temp_.Path() + L"linked data", other() + L"folder"));
                folder = temp_.Path() + L"linked data\\";
                relative = L"inner.txt";
                break;
            case TShape::OtherVolume:
                WriteFileBytes(data() + L"file.txt", "the user's");
                ASSERT_TRUE(vantrel_test::MapDriveLetter(L'P', data()));
                folder = L"P:\\";
                break;
        }
    }

    void Unplant(TShape shape) {
        if (shape == TShape::FileLink || shape == TShape::HardLink || shape == TShape::DanglingLink) {
            RemoveLink(data() + L"file.txt");
        }
        if (shape == TShape::FolderLink) RemoveLink(data() + L"logs");
        if (shape == TShape::LinkedDataFolder) RemoveLink(temp_.Path() + L"linked data");
        if (shape == TShape::OtherVolume) vantrel_test::UnmapDriveLetter(L'P');
        ::DeleteFileW((data() + L"file.txt").c_str());
        if (!FileExists(other() + L"gone.txt")) WriteFileBytes(other() + L"gone.txt", "soon gone");
    }

    TempFolder temp_{L"careful"};
    TempFolder other_{L"careful other"};
};

TEST_F(CarefulFiles, EachPlantedShapeUnderEachRights) {
    struct Case {
        TShape Shape;
        bool Own, UsersOwn, UsersToken;  // the open succeeds
    };
    // Without the user's rights nothing of another account is reached. With
    // them, a file link (which Wine shows as the file it points to) and a
    // hard link are opened: Windows bounds those reads by the user's rights.
    const Case cases[] = {
        {TShape::PlainFile, true, true, true},       {TShape::FileLink, false, true, true},
        {TShape::HardLink, false, true, true},       {TShape::FolderLink, false, false, false},
        {TShape::DanglingLink, false, false, false}, {TShape::LinkedDataFolder, false, false, false},
        {TShape::OtherVolume, true, true, true},
    };
    for (const Case& c : cases) {
        for (TRights rights : {TRights::Own, TRights::UsersOwn, TRights::UsersToken}) {
            SCOPED_TRACE(std::string(Name(c.Shape)) + ", " + Name(rights));
            std::wstring folder, relative;
            Plant(c.Shape, folder, relative);
            const bool expected = rights == TRights::Own        ? c.Own
                                  : rights == TRights::UsersOwn ? c.UsersOwn
                                                                : c.UsersToken;
            {
                const TUserRights user = RightsOf(rights);
                const TActAsUser as_user(user);
                ASSERT_TRUE(as_user.Ready());
                const TUserDataFolder data_folder(folder, user);
                const TCheckedEntry entry = data_folder.OpenFile(relative);
                EXPECT_EQ(entry.Handle.Valid(), expected);
            }
            Unplant(c.Shape);
        }
    }
}

// Non-vacuous: opened by name, as an unchecked read would, the planted
// shapes lead into the other account's files.
TEST_F(CarefulFiles, ByNameThePlantsLeadElsewhere) {
    for (TShape shape : {TShape::FileLink, TShape::HardLink, TShape::FolderLink, TShape::LinkedDataFolder}) {
        SCOPED_TRACE(Name(shape));
        std::wstring folder, relative;
        Plant(shape, folder, relative);
        EXPECT_EQ(ReadFileBytes(folder + relative), "another account's");
        Unplant(shape);
    }
}

// The checks on a handle: whether the entry opens without being followed,
// and whether it lies where its path says. Wine shows a file link as the
// file it points to; its location still tells it.
TEST_F(CarefulFiles, TheHandleTellsWhereItLies) {
    struct Case {
        TShape Shape;
        bool Opens;       // OpenNoFollow opens the entry
        bool WhereNamed;  // OpenCheckedEntry finds it where its path says
    };
    const Case cases[] = {
        {TShape::PlainFile, true, true},
        {TShape::FileLink, true, false},
        {TShape::HardLink, true, true},
        {TShape::DanglingLink, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Name(c.Shape));
        std::wstring folder, relative;
        Plant(c.Shape, folder, relative);
        const std::wstring path = ExtendedLengthPath(folder + relative);
        {
            EXPECT_EQ(OpenNoFollow(path, FILE_READ_ATTRIBUTES).Valid(), c.Opens);
            ScopedFileHandle own_folder = OpenNoFollow(ExtendedLengthPath(folder), FILE_READ_ATTRIBUTES);
            TFileLocation at;
            ASSERT_TRUE(own_folder && LocationOf(own_folder.Get(), at));
            const TCheckedEntry checked = OpenCheckedEntry(path, ChildLocation(at, relative), FILE_READ_ATTRIBUTES);
            EXPECT_EQ(checked.Handle.Valid(), c.WhereNamed);
        }
        Unplant(c.Shape);
    }
    // A folder link is a link on its listing's entry (Wine shows it there; on
    // Windows its own handle shows it too), and lies elsewhere than named.
    ASSERT_TRUE(MakeLink(data() + L"logs", other() + L"folder"));
    EXPECT_TRUE(IsLinkPath(ExtendedLengthPath(data() + L"logs")));
    EXPECT_FALSE(IsLinkPath(ExtendedLengthPath(other() + L"folder")));
    ScopedFileHandle own_folder = OpenNoFollow(ExtendedLengthPath(data()), FILE_READ_ATTRIBUTES);
    TFileLocation at;
    ASSERT_TRUE(own_folder && LocationOf(own_folder.Get(), at));
    EXPECT_FALSE(OpenCheckedEntry(ExtendedLengthPath(data() + L"logs\\inner.txt"),
                                  ChildLocation(at, L"logs\\inner.txt"), FILE_READ_ATTRIBUTES)
                     .Handle.Valid());
    RemoveLink(data() + L"logs");
}

// A replacement never writes through what stands at its name: a file link
// or a hard link there is replaced as a name, and an unfinished one leaves
// nothing.
TEST_F(CarefulFiles, AReplacementReplacesTheNameNeverWhatItLeadsTo) {
    for (bool hard : {false, true}) {
        SCOPED_TRACE(hard ? "hard link at the name" : "file link at the name");
        ASSERT_TRUE(MakeLink(data() + L"file.txt", other() + (hard ? L"hard.txt" : L"secret.txt"), hard));
        ScopedFileHandle folder = OpenFolderToWriteIn(data(), true);
        ASSERT_TRUE(folder.Valid());
        {
            TReplacement unfinished(folder.Get(), L"file.txt");
            ASSERT_TRUE(unfinished.Valid());
        }
        EXPECT_EQ(vantrel_test::TreeOf(data()), std::vector<std::wstring>{L"file.txt"});
        TReplacement replacement(folder.Get(), L"file.txt");
        ASSERT_TRUE(replacement.Valid());
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(replacement.File(), "new", 3, &written, nullptr));
        EXPECT_TRUE(replacement.Commit());
        EXPECT_EQ(ReadFileBytes(data() + L"file.txt"), "new");
        EXPECT_EQ(vantrel_test::TreeOf(data()), std::vector<std::wstring>{L"file.txt"});
        ::DeleteFileW((data() + L"file.txt").c_str());
    }
    EXPECT_EQ(ReadFileBytes(other() + L"secret.txt"), "another account's");
    EXPECT_EQ(ReadFileBytes(other() + L"hard.txt"), "another account's");
    // A folder that is a link is refused when links are refused.
    ASSERT_TRUE(MakeLink(temp_.Path() + L"linked data", other() + L"folder"));
    EXPECT_FALSE(OpenFolderToWriteIn(temp_.Path() + L"linked data", true).Valid());
    EXPECT_TRUE(OpenFolderToWriteIn(temp_.Path() + L"linked data", false).Valid());
    RemoveLink(temp_.Path() + L"linked data");
}

// A folder named by its drive's root is that root, never the drive's
// current folder (which "C:" without its backslash names).
TEST_F(CarefulFiles, ADrivesRootIsOpenedAsTheRoot) {
    const std::wstring inner = data() + L"inner";
    ASSERT_TRUE(::CreateDirectoryW(inner.c_str(), nullptr));
    const std::wstring root = inner.substr(0, 3);
    ASSERT_EQ(root.substr(1), L":\\");
    wchar_t previous[MAX_PATH] = {};
    ASSERT_NE(::GetCurrentDirectoryW(MAX_PATH, previous), 0u);
    ASSERT_TRUE(::SetCurrentDirectoryW(inner.c_str()));
    ScopedFileHandle opened = OpenFolderToWriteIn(root, true);
    ScopedFileHandle opened_following = OpenFolderToWriteIn(root, false);
    ::SetCurrentDirectoryW(previous);
    ScopedFileHandle expected =
        OpenFileHandle(root, FILE_READ_ATTRIBUTES, kShareReadWrite, OPEN_EXISTING, kOpenFolders);
    ScopedFileHandle current =
        OpenFileHandle(inner, FILE_READ_ATTRIBUTES, kShareReadWrite, OPEN_EXISTING, kOpenFolders);
    TFileId root_id, current_id, opened_id, following_id;
    ASSERT_TRUE(FileIdOf(expected.Get(), root_id) && FileIdOf(current.Get(), current_id));
    ASSERT_TRUE(opened.Valid() && FileIdOf(opened.Get(), opened_id));
    ASSERT_TRUE(opened_following.Valid() && FileIdOf(opened_following.Get(), following_id));
    EXPECT_TRUE(SameFile(opened_id, root_id));
    EXPECT_TRUE(SameFile(following_id, root_id));
    EXPECT_FALSE(SameFile(opened_id, current_id));
}

}  // namespace
}  // namespace vantrel
