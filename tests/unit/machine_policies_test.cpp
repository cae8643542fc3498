// Windows Installer's machine policies and service, and a pending restart, read at the start of a
// run: logged, and a policy that forbids the run ends it before any installer call.
#include "install/run_install.h"
#include "install/uninstall.h"
#include "messages/presenter.h"
#include "platform/host/simulation.h"
#include "runlog/run_log.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using platform::host::TheSimulation;

constexpr wchar_t kDe[] = L"{6513270E-4F3E-0D37-F2A7-4DE452E6B438}";
constexpr wchar_t kPatch[] = L"{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}";
constexpr wchar_t kPolicies[] = L"SOFTWARE\\Policies\\Microsoft\\Windows\\Installer\\";

class MachinePolicies : public testing_support::FreshProcess {
  protected:
    void SetUp() override {
        FreshProcess::SetUp();
        auto& product = TheSimulation().products[kDe];
        product.properties = {
            {L"VersionString", L"8.1.0.4"}, {L"ProductName", L"Corvath"}, {L"Language", L"1031"}};
    }
    std::string RunLogged(bool removing) {
        if (removing) {
            TheSimulation().products[kDe].patches[kPatch] = {};
        }
        std::uint32_t error = 0;
        const fs::path log = scratch_ / "run.log";
        fs::remove(log);
        runlog::StartRunLog(testing_support::Wide(log.string()), runlog::LogOpening::CreateNew,
                            error);
        result_ = removing ? install::RunUninstall() : install::RunInstall();
        runlog::StopRunLog();
        const std::vector<char> bytes = testing_support::ReadFileBytes(log);
        return std::string(bytes.begin(), bytes.end());
    }
    install::InstallResult result_;
};

TEST_F(MachinePolicies, APolicyThatForbidsTheRunEndsItBeforeAnyInstallerCall) {
    struct Row {
        const char* what;
        std::wstring value; // "" for the service's start type
        std::uint32_t data;
        bool removing;
        std::uint32_t exitCode; // 0: the run goes on
        const char* logged;
    };
    const Row rows[] = {
        {"DisablePatch 1", L"DisablePatch", 1, false, 1643,
         "the policy DisablePatch 1 forbids applying patches: the run ends with 1643"},
        {"DisableMsi 2", L"DisableMsi", 2, false, 1643, "the policy DisableMsi 2 turns Windows"},
        {"DisableMsi 2, removing", L"DisableMsi", 2, true, 1649, "ends with 1649"},
        {"DisablePatchUninstall 1, removing", L"DisablePatchUninstall", 1, true, 1649,
         "the policy DisablePatchUninstall 1 forbids removing patches"},
        {"the service disabled", L"", 4, false, 1601,
         "the Windows Installer service is disabled, so nothing can be installed or removed"},
        {"the service disabled, removing", L"", 4, true, 1601, "ends with 1601"},
        // What forbids something else, or nothing at all.
        {"DisablePatchUninstall 1", L"DisablePatchUninstall", 1, false, 0,
         "DisablePatchUninstall 1"},
        {"DisablePatch 1, removing", L"DisablePatch", 1, true, 0, "DisablePatch 1,"},
        {"DisableMsi 1 (unmanaged products only)", L"DisableMsi", 1, false, 0, "DisableMsi 1,"},
        {"the service automatic", L"", 2, false, 0, "msiserver) starts automatic"},
    };
    for (const Row& row : rows) {
        TheSimulation().machineDwords.clear();
        TheSimulation().serviceStartTypes = {{L"msiserver", 3}};
        TheSimulation().configureCalls.clear();
        TheSimulation().removeCalls.clear();
        TheSimulation().shownBoxes.clear();
        install::ProductList().clear();
        TheSimulation().products[kDe].patches.clear();
        if (row.value.empty()) {
            TheSimulation().serviceStartTypes[L"msiserver"] = row.data;
        } else {
            TheSimulation().machineDwords[kPolicies + row.value] = row.data;
        }
        const std::string log = RunLogged(row.removing);
        EXPECT_EQ(result_.exitCode, row.exitCode) << row.what;
        EXPECT_NE(log.find(row.logged), std::string::npos) << row.what << "\n" << log;
        const std::size_t calls = row.removing ? TheSimulation().removeCalls.size()
                                               : TheSimulation().configureCalls.size();
        EXPECT_EQ(calls, row.exitCode == 0 ? 1u : 0u) << row.what;
        if (row.exitCode != 0) {
            EXPECT_FALSE(fs::exists(scratch_ / "MSP2")) << row.what << ": no copy was made";
            ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u) << row.what;
            const std::wstring& box = TheSimulation().shownBoxes[0].text;
            EXPECT_EQ(box.substr(box.size() - 4), std::to_wstring(row.exitCode)) << row.what;
        }
    }
}

TEST_F(MachinePolicies, NobodyIsAskedAndNoPolicyRefusesWhereTheRunHasNothingToDo) {
    // Every product is decided before the policies and the question to close Corvath, which only
    // a run about to patch (or remove) meets. Corvath runs throughout.
    struct Row {
        const char* what;
        const wchar_t* version;
        bool removing;
        const wchar_t* policy;
        std::uint32_t exitCode;
    };
    const Row rows[] = {
        {"up to date, patching forbidden", L"8.2.0.5", false, L"DisablePatch", 0},
        {"nothing to remove, removal forbidden", L"8.2.0.5", true, L"DisablePatchUninstall", 0},
        {"not applicable", L"8.0.0.0", false, L"DisablePatchUninstall", 1642},
        {"about to apply, patching forbidden", L"8.1.0.4", false, L"DisablePatch", 1643},
    };
    for (const Row& row : rows) {
        TheSimulation().machineDwords = {{kPolicies + std::wstring(row.policy), 1}};
        TheSimulation().products[kDe].properties[L"VersionString"] = row.version;
        TheSimulation().processes = {{100, L"corvath.exe"}};
        TheSimulation().snapshotsTaken = 0;
        TheSimulation().configureCalls.clear();
        install::ProductList().clear();
        // Removing: the product does not have the patch, so there is nothing to remove.
        std::uint32_t error = 0;
        runlog::StartRunLog(testing_support::Wide((scratch_ / "run.log").string()),
                            runlog::LogOpening::Append, error);
        result_ = row.removing ? install::RunUninstall() : install::RunInstall();
        runlog::StopRunLog();
        EXPECT_EQ(result_.exitCode, row.exitCode) << row.what;
        EXPECT_EQ(TheSimulation().snapshotsTaken, 0) << row.what << ": nobody asked";
        EXPECT_TRUE(TheSimulation().configureCalls.empty()) << row.what;
    }
}

TEST_F(MachinePolicies, TheLogNamesEveryPolicyTheServiceAndAPendingRestart) {
    TheSimulation().machineDwords[std::wstring(kPolicies) + L"MaxPatchCacheSize"] = 0;
    TheSimulation().machineValuesWithData.insert(
        L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\PendingFileRenameOperations");
    TheSimulation().machineKeys.insert(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                                       L"WindowsUpdate\\Auto Update\\RebootRequired");
    const std::string log = RunLogged(false);
    EXPECT_EQ(result_.exitCode, 0u);
    for (const char* part : {
             "Windows Installer's policies (HKLM\\SOFTWARE\\Policies\\Microsoft\\Windows\\"
             "Installer): DisableMsi not set, DisablePatch not set, DisablePatchUninstall not "
             "set, DisableLUAPatching not set, MaxPatchCacheSize 0, "
             "DisableAutomaticApplicationShutdown not set\r\n",
             "the Windows Installer service (msiserver) starts manual",
             "a restart is pending: files to replace at the next start "
             "(PendingFileRenameOperations); Windows Update",
             // Visible, not quiet: a restart would be asked for.
         }) {
        EXPECT_NE(log.find(part), std::string::npos) << part << "\n" << log;
    }
    EXPECT_EQ(log.find("may restart this computer without asking"), std::string::npos);

    // A service that cannot be read is logged with its own error, not the registry's after it.
    TheSimulation().serviceStartTypes.clear();
    install::ProductList().clear();
    const std::string unread = RunLogged(false);
    EXPECT_NE(unread.find("(msiserver) starts in a way that cannot be read (error 1060"),
              std::string::npos)
        << unread;

    messages::SetQuiet(true);
    install::ProductList().clear();
    TheSimulation().machineValuesWithData.clear();
    TheSimulation().machineKeys.clear();
    const std::string quiet = RunLogged(false);
    EXPECT_NE(quiet.find("no restart is pending"), std::string::npos) << quiet;
    EXPECT_NE(quiet.find("Windows Installer may restart this computer without asking when the "
                         "patch needs a restart (REBOOTPROMPT=S)"),
              std::string::npos)
        << quiet;
    install::ProductList().clear();
    install::InstallSettings noRestart;
    noRestart.noRestart = true;
    std::uint32_t error = 0;
    runlog::StartRunLog(testing_support::Wide((scratch_ / "norestart.log").string()),
                        runlog::LogOpening::CreateNew, error);
    install::RunInstall(noRestart);
    runlog::StopRunLog();
    const std::vector<char> bytes = testing_support::ReadFileBytes(scratch_ / "norestart.log");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find("may restart this computer"),
              std::string::npos);
}

} // namespace
