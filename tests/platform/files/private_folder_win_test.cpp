#include "platform/files/private_folder_win.h"

#include "platform/base/errors.h"
#include "platform/base/file_open_win.h"
#include "platform/base/file_io_win.h"
#include "platform/base/text.h"
#include "platform/files/safe_paths.h"
#include "support/test_support.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <set>

namespace vantrel {
namespace {

using vantrel_test::TempFolder;
using vantrel_test::TreeOf;
using vantrel_test::WriteFileBytes;

bool IsWellKnown(PSID sid, BYTE count, DWORD first, DWORD second = 0) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    ScopedSid wanted;
    return ::AllocateAndInitializeSid(&nt, count, first, second, 0, 0, 0, 0, 0, 0, wanted.Receive()) &&
           ::EqualSid(sid, wanted.Get());
}

// Wine keeps no security descriptor on files, so the descriptor the folder
// is created with is read back from the attributes handed to the system.
TEST(AdministratorsOnlySecurity, OwnerAdministratorsProtectedDaclForAdministratorsAndSystemOnly) {
    TAdministratorsOnlySecurity security;
    SECURITY_ATTRIBUTES* attributes = security.Attributes();
    ASSERT_NE(attributes, nullptr);
    PSECURITY_DESCRIPTOR descriptor = attributes->lpSecurityDescriptor;
    ASSERT_TRUE(::IsValidSecurityDescriptor(descriptor));

    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor, &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED);  // nothing inherited from the parent
    EXPECT_TRUE(control & SE_DACL_PRESENT);

    PSID owner = nullptr;
    BOOL defaulted = TRUE;
    ASSERT_TRUE(::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted));
    EXPECT_TRUE(IsWellKnown(owner, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS));

    BOOL present = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
    ASSERT_TRUE(present && dacl != nullptr);
    ASSERT_EQ(dacl->AceCount, 2);
    // The run's own user, whom an unelevated token of the same account shares.
    HANDLE token = nullptr;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
    ScopedKernelHandle hold(token);
    unsigned char user_buffer[256];
    DWORD length = 0;
    ASSERT_TRUE(::GetTokenInformation(token, TokenUser, user_buffer, sizeof user_buffer, &length));
    const PSID user = reinterpret_cast<TOKEN_USER*>(user_buffer)->User.Sid;
    int administrators = 0, system = 0;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        ASSERT_TRUE(::GetAce(dacl, i, &ace));
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        ASSERT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(allowed->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
        EXPECT_EQ(allowed->Mask, static_cast<DWORD>(FILE_ALL_ACCESS));
        const PSID sid = &allowed->SidStart;
        EXPECT_FALSE(::EqualSid(sid, user));
        administrators += IsWellKnown(sid, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
        system += IsWellKnown(sid, 1, SECURITY_LOCAL_SYSTEM_RID);
    }
    EXPECT_EQ(administrators, 1);
    EXPECT_EQ(system, 1);
}

TEST(PrivateFolder, NewUnpredictableNamesRemovedWithEverythingInThem) {
    TempFolder parent(L"private");
    std::set<std::wstring> names;
    for (bool administrators_only : {false, true}) {
        TPrivateFolder folder(parent.Path(), L"GetInfoDir.", administrators_only);
        const std::wstring name = ExtractFileName(ExcludeTrailingBackslash(folder.Path()));
        ASSERT_EQ(name.size(), 11u + 32u);
        EXPECT_EQ(name.substr(0, 11), L"GetInfoDir.");
        EXPECT_EQ(name.find_first_not_of(L"0123456789abcdef", 11), std::wstring::npos);
        names.insert(name);
        WriteFileBytes(folder.Path() + L"GetInfoDir\\AppData\\core.ini", "x");
        WriteFileBytes(ExtendedLengthPath(folder.Path()) + L"dup.log.", "x");
        EXPECT_TRUE(folder.Remove());
        EXPECT_FALSE(DirectoryExists(folder.Path()));
    }
    EXPECT_EQ(names.size(), 2u);
    EXPECT_TRUE(TreeOf(parent.Path()).empty());
    EXPECT_THROW(TPrivateFolder(parent.Path() + L"missing", L"GetInfoDir.", false), EToolError);
}

// Refuses the first open of a new area for its attributes only: the check
// that follows its creation.
class TRefuseAreaCheck : public TAccessPolicy {
public:
    bool Permits(const TAccessRequest& request) override {
        const bool check = !refused_ && request.Kind == TAccessKind::Open && request.Access == FILE_READ_ATTRIBUTES &&
                           request.Path.find(L"GetInfoDir.") != std::wstring::npos;
        refused_ = refused_ || check;
        return !check;
    }
    bool refused_ = false;
};

// A new area whose check fails is not left behind.
TEST(PrivateFolder, AnAreaWhoseCheckFailsIsRemoved) {
    TempFolder parent(L"private check");
    TRefuseAreaCheck refuse;
    SetAccessPolicy(&refuse);
    EXPECT_THROW(TPrivateFolder(parent.Path(), L"GetInfoDir.", false), EToolError);
    SetAccessPolicy(nullptr);
    EXPECT_TRUE(refuse.refused_);
    EXPECT_TRUE(TreeOf(parent.Path()).empty());
}

}  // namespace
}  // namespace vantrel
