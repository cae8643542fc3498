// What a run deployed as SYSTEM relies on, through the real platform calls: where its windows
// would appear, and the security of the mutex that keeps runs of the pack apart.
#include "platform/process.h"
#include "platform/sync.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "platform/win32/administrators.h"

#include <windows.h>

#include <aclapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

TEST(Win32Deployment, AProgramStartedByAPersonIsOnTheirVisibleStation) {
    const platform::WindowStation station = platform::ProcessWindowStation();
    EXPECT_EQ(station.name, L"WinSta0");
    EXPECT_TRUE(station.visible);
    DWORD session = 0;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));
    EXPECT_EQ(station.session, session);
}

TEST(Win32Deployment, TheTerminalServicesListEveryProcessWithItsSession) {
    std::vector<platform::ProcessSession> listed;
    ASSERT_TRUE(platform::ProcessSessions(listed));
    std::vector<platform::ProcessEntry> running;
    ASSERT_TRUE(platform::ProcessSnapshot(running));
    EXPECT_GT(listed.size(), 1u) << "more than this process";
    for (const platform::ProcessEntry& process : running) {
        std::uint32_t session = 0;
        if (!platform::SessionOfProcess(process.processId, session)) {
            continue;
        }
        const auto found = std::find_if(listed.begin(), listed.end(), [&](const auto& entry) {
            return entry.processId == process.processId;
        });
        ASSERT_NE(found, listed.end()) << process.processId;
        EXPECT_EQ(found->session, session) << process.processId;
    }
}

// An administrator outside UAC owns what it makes by its own SID; Wine's user is one.
TEST(Win32Deployment, AnAdministratorsOwnAccountIsKnownForOne) {
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    std::vector<std::byte> user(512);
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, user.data(), user.size(), &size));
    CloseHandle(token);
    EXPECT_TRUE(platform::win32::IsLocalAdministrator(
        reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid));
    BYTE everyone[SECURITY_MAX_SID_SIZE] = {};
    DWORD everyoneSize = sizeof everyone;
    ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, everyone, &everyoneSize));
    EXPECT_FALSE(platform::win32::IsLocalAdministrator(everyone)) << "a group, not an account";
}

// The runner sets the prefix to Windows 10, which Windows (and Wine) shows only to a program
// whose manifest declares it supported: others are told 6.2.
TEST(Win32Deployment, TheManifestLetsTheProgramSeeTheWindowsItRunsOn) {
    OSVERSIONINFOW shown{};
    shown.dwOSVersionInfoSize = sizeof shown;
    ASSERT_TRUE(GetVersionExW(&shown));
    EXPECT_EQ(shown.dwMajorVersion, 10u);
    EXPECT_EQ(platform::SystemVersionText().substr(0, 12), L"Windows 10.0");
}

TEST(Win32Deployment, TheGlobalMutexLetsSystemAndAdministratorsInAndNobodyElse) {
    const std::wstring name = L"corvath-platform-test-" + std::to_wstring(GetCurrentProcessId());
    platform::MutexOpening opening = platform::MutexOpening::Opened;
    const platform::Mutex first = platform::CreateGlobalMutex(name, opening);
    ASSERT_TRUE(first.IsOpen());
    EXPECT_EQ(first.Name(), L"Global\\" + name);
    EXPECT_EQ(opening, platform::MutexOpening::Created);
    const platform::Mutex second = platform::CreateGlobalMutex(name, opening);
    ASSERT_TRUE(second.IsOpen());
    EXPECT_EQ(opening, platform::MutexOpening::Opened);
    EXPECT_NE(platform::OwnerOf(second).kind, platform::OwnerKind::Other);
    EXPECT_FALSE(platform::OwnerOf(second).sid.empty());

    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(reinterpret_cast<HANDLE>(first.Handle()), SE_KERNEL_OBJECT,
                              DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                              &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_NE(dacl, nullptr);
    ASSERT_EQ(dacl->AceCount, 2);
    for (WORD index = 0; index < dacl->AceCount; ++index) {
        void* entry = nullptr;
        ASSERT_TRUE(GetAce(dacl, index, &entry));
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        const PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        EXPECT_TRUE(
            IsWellKnownSid(sid, index == 0 ? WinLocalSystemSid : WinBuiltinAdministratorsSid));
    }
    LocalFree(descriptor);
}

} // namespace
