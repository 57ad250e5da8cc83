#include "report/services.h"
#include "report/services_win.h"

#include "platform/base/handles_win.h"
#include "platform/base/wow64_win.h"
#include "report/section_banner.h"
#include "support/test_support.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantrel {
namespace {

using vantrel_test::FixtureDir;
using vantrel_test::Printable;
using vantrel_test::TempFolder;
using vantrel_test::UniqueSuffix;

std::wstring WindowsFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    ::GetWindowsDirectoryW(buffer, MAX_PATH);
    return buffer;
}

// Services registered for one test and deleted again at its end.
class ServiceSandbox {
public:
    ServiceSandbox() : manager_(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {}
    ~ServiceSandbox() {
        for (auto& service : services_) ::DeleteService(service.Get());
    }
    // Registers a service and returns its service name.
    std::wstring Create(const std::wstring& display_name, DWORD type, DWORD start, const std::wstring& image) {
        std::wstring name = L"VantrelTest" + UniqueSuffix();
        ScopedServiceHandle service(::CreateServiceW(manager_.Get(), name.c_str(), display_name.c_str(),
                                                     SERVICE_ALL_ACCESS, type, start, SERVICE_ERROR_IGNORE,
                                                     image.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        EXPECT_TRUE(service.Valid()) << "CreateServiceW failed: " << ::GetLastError();
        services_.push_back(std::move(service));
        return name;
    }
    // The exit code the manager reports for the service.
    DWORD ExitCode(const std::wstring& name) {
        ScopedServiceHandle service(::OpenServiceW(manager_.Get(), name.c_str(), SERVICE_QUERY_STATUS));
        SERVICE_STATUS status = {};
        ::QueryServiceStatus(service.Get(), &status);
        return status.dwWin32ExitCode;
    }

private:
    ScopedServiceHandle manager_;
    std::vector<ScopedServiceHandle> services_;
};

// A copy of a fixture DLL in the native system folder's drivers folder,
// removed again at the end.
class NativeDriverFile {
public:
    NativeDriverFile(const std::wstring& fixture, const std::wstring& name)
        : path_(WindowsFolder() + L"\\System32\\drivers\\" + name) {
        ScopedFsRedirectionOff native;
        EXPECT_TRUE(::CopyFileW(fixture.c_str(), path_.c_str(), FALSE)) << ::GetLastError();
    }
    ~NativeDriverFile() {
        ScopedFsRedirectionOff native;
        ::DeleteFileW(path_.c_str());
    }

private:
    std::wstring path_;
};

TEST(ServicesSection, RegisteredServicesAndDriversWithTheirImageVersions) {
    TempFolder temp{L"services"};
    const std::wstring versioned = FixtureDir() + L"versioned\\full.dll";  // file version 1.0.0.1
    const std::wstring unversioned = FixtureDir() + L"versioned\\noresource.dll";
    const std::wstring image = temp.Path() + L"image.exe";
    ASSERT_TRUE(::CopyFileW(versioned.c_str(), image.c_str(), FALSE));
    const std::wstring driver = L"vtdrv" + UniqueSuffix() + L".sys";
    NativeDriverFile native_driver(versioned, driver);
    // Under WOW64 the driver is seen only with redirection off.
    if (IsWow64()) {
        EXPECT_EQ(::GetFileAttributesW((WindowsFolder() + L"\\System32\\drivers\\" + driver).c_str()),
                  INVALID_FILE_ATTRIBUTES);
    }

    struct Case {
        std::wstring display_name;
        DWORD type;
        DWORD start;
        std::wstring image;
        const wchar_t* version_text;
    };
    const std::wstring suffix = UniqueSuffix();
    const Case cases[] = {
        {L"VT own " + suffix, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, image, L"Ver:1.0.0.1"},
        {L"VT disabled, a name longer than thirty characters " + suffix, SERVICE_WIN32_SHARE_PROCESS, SERVICE_DISABLED,
         image, L"Ver:1.0.0.1"},
        // drivers named the ways the manager stores them, found in the native system folder
        {L"VT root " + suffix, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
         L"\\SystemRoot\\System32\\drivers\\" + driver, L"Ver:1.0.0.1"},
        {L"VT relative " + suffix, SERVICE_FILE_SYSTEM_DRIVER, SERVICE_DEMAND_START, L"System32\\drivers\\" + driver,
         L"Ver:1.0.0.1"},
        {L"VT nt path " + suffix, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, L"\\??\\" + image, L"Ver:1.0.0.1"},
        {L"VT expand " + suffix, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
         L"%SystemRoot%\\System32\\drivers\\" + driver, L"Ver:1.0.0.1"},
        // found without a version resource; not found; with arguments
        {L"VT unversioned " + suffix, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, unversioned, L"Ver:"},
        {L"VT missing " + suffix, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, temp.Path() + L"gone.exe", L""},
        {L"VT arguments " + suffix, SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, SERVICE_DEMAND_START,
         L"\"" + image + L"\" -k netsvcs", L""},
    };
    ServiceSandbox sandbox;
    std::vector<std::wstring> names;
    for (const auto& c : cases) names.push_back(sandbox.Create(c.display_name, c.type, c.start, c.image));

    TStringList lines = {L"before"};
    AddServices(lines);
    ASSERT_GE(lines.size(), 2u + std::size(cases));
    EXPECT_EQ(lines[1], SectionBanner());
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(Printable(c.display_name));
        TServiceLine expected;
        expected.DisplayName = c.display_name;
        expected.ServiceType = c.type;
        expected.CurrentState = SERVICE_STOPPED;
        expected.Win32ExitCode = sandbox.ExitCode(names[i]);
        expected.StartType = static_cast<std::int32_t>(c.start);
        expected.ImagePath = c.image;
        expected.VersionText = c.version_text;
        const std::wstring line = FormatServiceLine(expected);
        std::size_t found = 0;
        for (const auto& l : lines) {
            if (l == line) ++found;
        }
        EXPECT_EQ(found, 1u) << Printable(line);
    }
}

TEST(ServicesSection, ConfigurationOfAnUnknownServiceIsNotRead) {
    std::int32_t start = 7;
    std::wstring path = L"left over";
    EXPECT_FALSE(GetServiceConfig(L"VantrelNoSuchService" + UniqueSuffix(), start, path));
    EXPECT_EQ(start, 7);
    EXPECT_EQ(path, L"");
}

TEST(ServicesSection, ImageVersionOfPathsThatNameNoFile) {
    EXPECT_EQ(GetImageVersionText(L""), L"");
    EXPECT_EQ(GetImageVersionText(WindowsFolder()), L"");  // a folder is no image
    EXPECT_EQ(GetImageVersionText(L"\\SystemRoot\\System32\\drivers\\vantrel-none.sys"), L"");
}

// An enumeration that answers from a script of results, as the manager
// would when services are registered between the calls.
class ScriptedEnumeration {
public:
    struct Answer {
        DWORD needed;
        DWORD error;  // 0: the call succeeds with `records` records
        DWORD records;
    };
    explicit ScriptedEnumeration(std::vector<Answer> answers) : answers_(std::move(answers)) {}

    BOOL operator()(ENUM_SERVICE_STATUSW* buffer, DWORD bytes, DWORD* needed, DWORD* count, DWORD* resume) {
        calls.push_back(bytes);
        EXPECT_EQ(*resume, 0u);  // every attempt starts from the beginning
        const Answer a = next_ < answers_.size() ? answers_[next_++] : Answer{64, ERROR_MORE_DATA, 0};
        *needed = a.needed;
        *count = 0;
        if (a.error != 0) {
            ::SetLastError(a.error);
            return FALSE;
        }
        EXPECT_GE(bytes, a.records * sizeof(ENUM_SERVICE_STATUSW));
        static wchar_t service[] = L"svc";
        static wchar_t display[] = L"Service";
        for (DWORD i = 0; i < a.records; ++i) {
            buffer[i] = {};
            buffer[i].lpServiceName = service;
            buffer[i].lpDisplayName = display;
            buffer[i].ServiceStatus.dwServiceType = 0x10 + i;
        }
        *count = a.records;
        return TRUE;
    }
    std::vector<DWORD> calls;  // buffer sizes passed, in order

private:
    std::vector<Answer> answers_;
    std::size_t next_ = 0;
};

TEST(ServiceEnumeration, SizedAgainWhenServicesAppearBetweenTheCalls) {
    const DWORD record = sizeof(ENUM_SERVICE_STATUSW);
    ScriptedEnumeration script({{2 * record, ERROR_MORE_DATA, 0},
                                {3 * record, ERROR_MORE_DATA, 0},  // one more service appeared
                                {3 * record, ERROR_MORE_DATA, 0},
                                {0, 0, 3}});
    std::vector<TServiceEntry> entries;
    ASSERT_TRUE(EnumerateServices(std::ref(script), entries));
    EXPECT_EQ(script.calls, (std::vector<DWORD>{0, 2 * record, 0, 3 * record}));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[2].ServiceType, 0x12u);
    EXPECT_EQ(entries[2].DisplayName, L"Service");
}

TEST(ServiceEnumeration, GivesUpAfterBoundedAttemptsOrAnyOtherError) {
    ScriptedEnumeration always_more({});
    std::vector<TServiceEntry> entries;
    EXPECT_FALSE(EnumerateServices(std::ref(always_more), entries));
    EXPECT_EQ(always_more.calls.size(), 2u * kEnumServicesAttempts);

    ScriptedEnumeration denied({{100, ERROR_MORE_DATA, 0}, {0, ERROR_ACCESS_DENIED, 0}});
    EXPECT_FALSE(EnumerateServices(std::ref(denied), entries));
    EXPECT_EQ(denied.calls.size(), 2u);

    ScriptedEnumeration none({{0, 0, 0}, {0, 0, 0}});
    EXPECT_TRUE(EnumerateServices(std::ref(none), entries));
    EXPECT_TRUE(entries.empty());
}

}  // namespace
}  // namespace vantrel
