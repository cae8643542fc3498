// Runs that meet another run of the pack or a busy Windows Installer, on the simulated machine
// and its clock: ten-minute waits take no time.
#include "install/busy_waits.h"
#include "install/run_install.h"
#include "messages/presenter.h"
#include "platform/host/simulation.h"
#include "platform/system.h"
#include "runlog/run_log.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using platform::host::SimulatedMutex;
using platform::host::TheSimulation;

constexpr wchar_t kDe[] = L"{6513270E-4F3E-0D37-F2A7-4DE452E6B438}";
constexpr wchar_t kPackMutex[] = L"Global\\corvath-sp-{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}";
constexpr wchar_t kInstallerMutex[] = L"Global\\_MSIExecute";
constexpr std::uint64_t kSecond = 1000000;

class BusyWaits : public testing_support::FreshProcess {
  protected:
    void SetUp() override {
        FreshProcess::SetUp();
        TheSimulation().products[kDe].properties = {
            {L"VersionString", L"8.1.0.4"}, {L"ProductName", L"Corvath"}, {L"Language", L"1033"}};
        runlog::StartRunLog(testing_support::Wide((scratch_ / "run.log").string()),
                            runlog::LogOpening::CreateNew, error_);
    }
    void TearDown() override {
        runlog::StopRunLog();
        FreshProcess::TearDown();
    }
    // Held by another process for `seconds` from now; abandoned at the end when `abandoned`.
    void HeldFor(const wchar_t* name, std::uint64_t seconds, bool abandoned = false) {
        SimulatedMutex& mutex = TheSimulation().mutexes[name];
        mutex.heldUntil = seconds == SimulatedMutex::kNever
                              ? SimulatedMutex::kNever
                              : platform::MonotonicMicroseconds() + seconds * kSecond;
        mutex.abandoned = abandoned;
    }
    // Runs the installation; the simulated seconds it waited.
    std::uint64_t Run() {
        const std::uint64_t before = TheSimulation().clockMicroseconds;
        result_ = install::RunInstall();
        return (TheSimulation().clockMicroseconds - before) / kSecond;
    }
    std::string Log() const {
        const std::vector<char> bytes = testing_support::ReadFileBytes(scratch_ / "run.log");
        return {bytes.begin(), bytes.end()};
    }
    std::wstring OnlyBox() const {
        return TheSimulation().shownBoxes.size() == 1 ? TheSimulation().shownBoxes[0].text
                                                      : L"<not one box>";
    }

    install::InstallResult result_;
    std::uint32_t error_ = 0;
};

TEST_F(BusyWaits, ASecondRunWaitsSilentlyForTheFirstThenGoesOn) {
    messages::SetQuiet(true);
    HeldFor(kPackMutex, 90);
    EXPECT_EQ(Run(), 90u);
    EXPECT_EQ(result_.exitCode, 0u);
    EXPECT_EQ(TheSimulation().configureCalls.size(), 1u);
    EXPECT_TRUE(TheSimulation().shownBoxes.empty());
    EXPECT_EQ(TheSimulation().mutexes[kPackMutex].ownedByUs, 0) << "let go of at the end";
    const std::string log = Log();
    EXPECT_NE(log.find("waiting for another run of this service pack (Global\\corvath-sp-{5E0A7C2D-"
                       "8B14-4C6A-9F3E-2D7B1A9C4E60} is held), at most 600 s"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("waited 90.0 s for another run of this service pack: it is over"),
              std::string::npos);
}

TEST_F(BusyWaits, PastTenMinutesTheRunEndsWith1618BeforeItExtracts) {
    HeldFor(kPackMutex, SimulatedMutex::kNever);
    EXPECT_EQ(Run(), 600u);
    EXPECT_EQ(result_.exitCode, 1618u);
    EXPECT_TRUE(TheSimulation().configureCalls.empty());
    EXPECT_EQ(OnlyBox().substr(OnlyBox().size() - 16), L"Error Code: 1618");
    EXPECT_FALSE(fs::exists(scratch_ / "MSP2"));
    EXPECT_NE(Log().find("still going; no more waiting"), std::string::npos);
}

TEST_F(BusyWaits, AKilledFirstRunOrAnUnusableGlobalNamespaceDoNotStopTheRun) {
    HeldFor(kPackMutex, 3, true);
    EXPECT_EQ(Run(), 3u);
    EXPECT_EQ(result_.exitCode, 0u);
    EXPECT_NE(Log().find("ended without letting go of Global\\corvath-sp-"), std::string::npos);

    // No "Local\\" stand-in, which would keep no run of another session apart.
    install::ProductList().clear();
    TheSimulation().mutexes.clear();
    TheSimulation().globalMutexError = 5;
    EXPECT_EQ(Run(), 0u);
    EXPECT_EQ(result_.exitCode, 0u);
    EXPECT_NE(Log().find("making the mutex that keeps runs of this pack apart failed: error 5"),
              std::string::npos);
    EXPECT_EQ(Log().find("Local\\"), std::string::npos);
}

TEST_F(BusyWaits, AMutexThatRefusesFullAccessIsWaitedOnAndASquattedOneGoneAround) {
    // Made by SYSTEM's run with a security that lets this account wait and no more.
    HeldFor(kPackMutex, 90);
    TheSimulation().mutexes[kPackMutex].refusesFullAccess = true;
    TheSimulation().mutexes[kPackMutex].owner = {platform::OwnerKind::SystemOrAdministrators,
                                                 L"S-1-5-18"};
    TheSimulation().elevated = true;
    EXPECT_EQ(Run(), 90u);
    EXPECT_EQ(result_.exitCode, 0u);
    EXPECT_NE(Log().find("refuses this account full access: it is waited on only"),
              std::string::npos);
    EXPECT_EQ(TheSimulation().mutexes[kPackMutex].ownedByUs, 0) << "let go of at the end";

    // Made by an administrator outside UAC (the built-in Administrator on a server, UAC off),
    // which owns what it makes by its own SID: a run of the pack, waited for.
    install::ProductList().clear();
    HeldFor(kPackMutex, 90);
    TheSimulation().mutexes[kPackMutex].refusesFullAccess = false;
    TheSimulation().mutexes[kPackMutex].owner = {platform::OwnerKind::Administrator,
                                                 L"S-1-5-21-9-9-9-500"};
    EXPECT_EQ(Run(), 90u);
    EXPECT_EQ(result_.exitCode, 0u);

    // Made first, and held for good, by a user's program: an elevated run does not wait for it.
    install::ProductList().clear();
    HeldFor(kPackMutex, SimulatedMutex::kNever);
    TheSimulation().mutexes[kPackMutex].refusesFullAccess = false;
    TheSimulation().mutexes[kPackMutex].owner = {platform::OwnerKind::Other,
                                                 L"S-1-5-21-9-9-9-1002"};
    EXPECT_EQ(Run(), 0u);
    EXPECT_EQ(result_.exitCode, 0u);
    EXPECT_EQ(TheSimulation().configureCalls.size(), 3u) << "one a run";
    EXPECT_NE(Log().find("was made by another account, S-1-5-21-9-9-9-1002, not by a run of this "
                         "pack"),
              std::string::npos);

    // A run that is not elevated cannot tell a squatter from another user's run, and waits.
    install::ProductList().clear();
    TheSimulation().elevated = false;
    EXPECT_EQ(Run(), 600u);
    EXPECT_EQ(result_.exitCode, 1618u);
}

TEST_F(BusyWaits, ABusyInstallerIsWaitedForAndNeverHeldAcrossTheInstallation) {
    HeldFor(kInstallerMutex, 45);
    EXPECT_EQ(Run(), 45u);
    EXPECT_EQ(result_.exitCode, 0u);
    ASSERT_EQ(TheSimulation().configureCalls.size(), 1u);
    EXPECT_FALSE(TheSimulation().configureCalls[0].ownedInstallerMutex);
    EXPECT_EQ(TheSimulation().mutexes[kInstallerMutex].ownedByUs, 0);
    EXPECT_NE(Log().find("waited 45.0 s for another installation by Windows Installer"),
              std::string::npos);
}

TEST_F(BusyWaits, AnInstallerAnsweringBusyIsAskedAgainWithinTheSameTenMinutes) {
    TheSimulation().products[kDe].firstResults = {1618, 1618};
    EXPECT_EQ(Run(), 10u);
    EXPECT_EQ(result_.exitCode, 0u);
    EXPECT_EQ(TheSimulation().configureCalls.size(), 3u);
    EXPECT_EQ(TheSimulation().pauses, (std::vector<std::uint32_t>{5000, 5000}));
    EXPECT_EQ(OnlyBox(), L"The service pack has been successfully installed.");

    // Busy for good: tried until the time is up, then one 300 with 1618.
    install::ProductList().clear();
    TheSimulation().shownBoxes.clear();
    TheSimulation().configureCalls.clear();
    TheSimulation().products[kDe].configureResult = 1618;
    EXPECT_EQ(Run(), 600u);
    EXPECT_EQ(result_.exitCode, 1618u);
    EXPECT_EQ(TheSimulation().configureCalls.size(), 121u);
    EXPECT_EQ(OnlyBox().substr(OnlyBox().size() - 16), L"Error Code: 1618");
}

TEST_F(BusyWaits, OneBudgetForEveryWaitOfTheRun) {
    HeldFor(kPackMutex, 480);
    HeldFor(kInstallerMutex, SimulatedMutex::kNever);
    EXPECT_EQ(Run(), 600u);
    EXPECT_EQ(result_.exitCode, 1618u);
    EXPECT_TRUE(TheSimulation().configureCalls.empty()) << "never called while busy";
    EXPECT_NE(Log().find("Windows Installer stayed busy with another installation"),
              std::string::npos);
}

} // namespace
