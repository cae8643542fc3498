// Windows Installer queries and the process snapshot through the real platform calls.
#include "install/discovery.h"
#include "install/host_guard.h"
#include "platform/msi.h"
#include "platform/process.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

constexpr wchar_t kNotInstalled[] = L"{00000000-4F3E-0000-0000-000000000000}";

TEST(Win32Installer, AProductThatIsNotInstalled) {
    EXPECT_FALSE(install::IsProductInstalled(kNotInstalled));
    EXPECT_EQ(install::ReadProductProperty(kNotInstalled, L"VersionString"), L"");
    // A code that is no product code at all must not reach further than a refusal.
    EXPECT_FALSE(install::IsProductInstalled(L" " + std::wstring(kNotInstalled)));
}

TEST(Win32Installer, TheUiLevelComesBackAsItWas) {
    const std::uint32_t first = platform::MsiSetUiLevel(0x23);
    EXPECT_EQ(platform::MsiSetUiLevel(first), 0x23u);
}

TEST(Win32Processes, TheSnapshotSeesThisProgram) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name = path;
    name = name.substr(name.find_last_of(L"\\/") + 1);
    EXPECT_TRUE(install::IsProcessRunning(name));
    for (wchar_t& c : name) {
        c = static_cast<wchar_t>(towupper(c));
    }
    EXPECT_TRUE(install::IsProcessRunning(name)) << "case is ignored";
    EXPECT_FALSE(install::IsProcessRunning(L"x" + name));
    EXPECT_FALSE(install::IsProcessRunning(install::kHostProgramImage));
}

TEST(Win32Locale, ThreadLocalesAreSetAndRefused) {
    EXPECT_TRUE(platform::SetThreadLocaleId(1031));
    EXPECT_EQ(GetThreadLocale(), 1031u);
    EXPECT_FALSE(platform::SetThreadLocaleId(0xFFFF)); // no such locale
    EXPECT_EQ(GetThreadLocale(), 1031u) << "a refused value leaves the locale";
    EXPECT_TRUE(platform::SetThreadLocaleId(platform::kLocaleUserDefault));
}

} // namespace
