// A run where nobody can see a box, as deployment tools start it: as SYSTEM, from a service, on a
// window station that is not visible. No box may wait there; the person who has Corvath open in
// another session is asked instead, for a bounded time.
#include "app/entry.h"
#include "install/host_guard.h"
#include "install/run_install.h"
#include "install/uninstall.h"
#include "platform/host/simulation.h"
#include "platform/ui.h"
#include "runlog/run_log.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using platform::host::SessionReply;
using platform::host::TheSimulation;

constexpr wchar_t kDe[] = L"{6513270E-4F3E-0D37-F2A7-4DE452E6B438}";
constexpr wchar_t kPatch[] = L"{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}";
constexpr int kIdCancel = 2;
constexpr int kIdRetry = 4;

class UnseenStation : public testing_support::FreshProcess {
  protected:
    void SetUp() override {
        FreshProcess::SetUp();
        TheSimulation().station = {L"Service-0x0-3e7$", false, 0};
        TheSimulation().products[kDe].properties = {
            {L"VersionString", L"8.1.0.4"}, {L"ProductName", L"Corvath"}, {L"Language", L"1031"}};
    }
    // Runs the pack with `arguments`; its exit code.
    int Run(std::vector<std::wstring> arguments) {
        arguments.insert(arguments.begin(), L"corvath-sp.exe");
        TheSimulation().commandLine = arguments;
        return app::Entry();
    }
    // The one run log the run left in the temporary folder.
    std::string Log() const {
        for (const auto& entry : fs::directory_iterator(scratch_)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("corvath-sp-") && !name.ends_with(".installer.log")) {
                const std::vector<char> bytes = testing_support::ReadFileBytes(entry.path());
                return {bytes.begin(), bytes.end()};
            }
        }
        return "<no run log>";
    }
    // Copies of the patch, or their notes, left in the temporary folder.
    bool LeftFiles() const {
        for (const auto& entry : fs::directory_iterator(scratch_)) {
            if (entry.path().filename().string().starts_with("MSP")) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(UnseenStation, NoBoxIsShownTheLogHasThemAndTheInstallerShowsNoDialog) {
    EXPECT_EQ(Run({}), 0);
    EXPECT_TRUE(TheSimulation().shownBoxes.empty());
    ASSERT_EQ(TheSimulation().configureCalls.size(), 1u);
    EXPECT_EQ(TheSimulation().configureCalls[0].uiLevel, 2u) << "INSTALLUILEVEL_NONE";
    const std::string log = Log();
    EXPECT_NE(log.find("window station \"Service-0x0-3e7$\", session 0: not visible"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\"Das Service Pack wurde erfolgreich installiert.\"; not shown: nobody "
                       "can see this window station"),
              std::string::npos)
        << log;

    // The /i list too: with no /log, the default log is where it goes.
    fs::remove_all(scratch_);
    fs::create_directories(scratch_);
    EXPECT_EQ(Run({L"/i"}), 0);
    EXPECT_TRUE(TheSimulation().shownBoxes.empty());
    EXPECT_NE(Log().find("\"List of Products\": \"{6513270E-4F3E-0D37-F2A7-4DE452E6B438};"),
              std::string::npos)
        << Log();

    // Where a person can see, a quiet run still gives Windows Installer its basic interface.
    TheSimulation().station = {L"WinSta0", true, 1};
    TheSimulation().configureCalls.clear();
    install::ProductList().clear();
    Run({L"/q"});
    ASSERT_EQ(TheSimulation().configureCalls.size(), 1u);
    EXPECT_EQ(TheSimulation().configureCalls[0].uiLevel, 0x23u);
}

TEST_F(UnseenStation, Session0sWinSta0IsSeenByNobodyWhateverItsFlagSays) {
    // An agent that starts the pack on winsta0\\default in session 0, or psexec -s -i 0.
    TheSimulation().station = {L"WinSta0", true, 0};
    TheSimulation().processes = {{100, L"corvath.exe"}};
    TheSimulation().processSessions = {{100, 2}};
    TheSimulation().sessionReplies = {{true, kIdRetry}};
    TheSimulation().afterSnapshot = [](platform::host::Simulation& machine) {
        machine.processes.clear(); // closed once asked
    };
    EXPECT_EQ(Run({}), 0);
    ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u);
    EXPECT_EQ(TheSimulation().shownBoxes[0].session, 2u) << "sent to Corvath's session, not shown";
    ASSERT_EQ(TheSimulation().configureCalls.size(), 1u);
    EXPECT_EQ(TheSimulation().configureCalls[0].uiLevel, 2u) << "INSTALLUILEVEL_NONE";
    const std::string log = Log();
    EXPECT_NE(log.find("window station \"WinSta0\", session 0: visible, but in session 0, where "
                       "no person works, so nobody can answer a box here"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("erfolgreich installiert.\"; not shown: nobody can see this window station"),
              std::string::npos)
        << log;
}

TEST_F(UnseenStation, ThePersonWithCorvathOpenIsAskedForAtMostFiveMinutes) {
    struct Row {
        const char* name;
        std::map<std::uint32_t, std::uint32_t> sessions; // of process 100 and 200
        std::deque<SessionReply> replies;
        int exitCode;
        std::vector<std::uint32_t> asked;                   // the sessions sent a box, in order
        std::uint64_t seconds;                              // the run's time on the simulated clock
        std::map<std::uint32_t, std::uint32_t> listed = {}; // WTSEnumerateProcessesW's sessions
    };
    const Row rows[] = {
        {"Retry, then closed", {{100, 2}}, {{true, kIdRetry}}, 0, {2}, 0},
        {"Cancel", {{100, 2}}, {{true, kIdCancel}}, 1602, {2}, 0},
        {"nobody answers: try again later", {{100, 2}}, {}, 1618, {2}, install::kAskSessionSeconds},
        {"each session is asked",
         {{100, 2}, {200, 3}},
         {{true, kIdRetry}, {true, kIdCancel}},
         1602,
         {2, 3},
         0},
        {"one session answers Retry, the other nobody",
         {{100, 2}, {200, 3}},
         {{true, kIdRetry}},
         1618,
         {2, 3},
         install::kAskSessionSeconds},
        {"only in session 0", {{100, 0}}, {}, 1618, {}, 0},
        {"the session cannot be told", {}, {}, 1618, {}, 0},
        {"the send fails", {{100, 2}}, {{false, 1}}, 1618, {2}, 0},
        // A run that may not open another user's process (not SYSTEM) finds it in the list.
        {"only the list tells", {}, {{true, kIdRetry}}, 0, {2}, 0, {{100, 2}}},
    };
    for (const Row& row : rows) {
        install::ProductList().clear();
        TheSimulation().shownBoxes.clear();
        TheSimulation().configureCalls.clear();
        TheSimulation().processes = {{100, L"corvath.exe"}};
        if (row.sessions.size() > 1) {
            TheSimulation().processes.push_back({200, L"corvath.exe"});
        }
        TheSimulation().processSessions = row.sessions;
        TheSimulation().listedSessions = row.listed;
        TheSimulation().sessionReplies = row.replies;
        TheSimulation().snapshotsTaken = 0;
        TheSimulation().afterSnapshot = [](platform::host::Simulation& machine) {
            if (machine.snapshotsTaken == 1) {
                machine.processes.clear(); // closed while the box was up
            }
        };
        const std::uint64_t before = TheSimulation().clockMicroseconds;

        EXPECT_EQ(Run({L"/q"}), row.exitCode) << row.name;
        std::vector<std::uint32_t> asked;
        for (const auto& box : TheSimulation().shownBoxes) {
            EXPECT_EQ(box.timeoutSeconds, 300u) << row.name;
            EXPECT_EQ(box.type, 0x50015u) << row.name;
            asked.push_back(box.session);
        }
        EXPECT_EQ(asked, row.asked) << row.name;
        EXPECT_EQ((TheSimulation().clockMicroseconds - before) / 1000000, row.seconds) << row.name;
        EXPECT_EQ(TheSimulation().configureCalls.size(), row.exitCode == 0 ? 1u : 0u) << row.name;
        EXPECT_FALSE(LeftFiles()) << row.name;
    }
}

TEST_F(UnseenStation, UninstallAsksTheSameWay) {
    TheSimulation().products[kDe].patches[kPatch] = {};
    TheSimulation().processes = {{100, L"corvath.exe"}};
    TheSimulation().processSessions = {{100, 2}};
    TheSimulation().sessionUsers = {{2, L"CORP\\alice"}};
    EXPECT_EQ(Run({L"/uninstall"}), 1618) << "nobody answered: try again later";
    EXPECT_TRUE(TheSimulation().removeCalls.empty());
    ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u);
    EXPECT_EQ(TheSimulation().shownBoxes[0].session, 2u);
    // Who was asked, where, and what came of it.
    const std::string log = Log();
    EXPECT_NE(log.find("asking CORP\\alice in session 2, where corvath.exe runs as process 100"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("sent to session 2 for at most 300 s"), std::string::npos);
    EXPECT_NE(log.find("answer: none in the time given"), std::string::npos);
}

TEST_F(UnseenStation, APersonWhoKeepsAnsweringRetryMeetsTheRunsBound) {
    // Corvath is never closed, and each Retry comes twenty minutes after the box.
    TheSimulation().processes = {{100, L"corvath.exe"}};
    TheSimulation().processSessions = {{100, 2}};
    TheSimulation().sessionReplies = {{true, kIdRetry}, {true, kIdRetry}, {true, kIdRetry}};
    TheSimulation().afterSnapshot = [](platform::host::Simulation& machine) {
        machine.clockMicroseconds += 20ull * 60 * 1000000;
    };
    EXPECT_EQ(Run({L"/q"}), 1618);
    EXPECT_EQ(TheSimulation().shownBoxes.size(), 2u) << "at 20 and 40 minutes; none at 60";
    EXPECT_TRUE(TheSimulation().configureCalls.empty());
    const std::string log = Log();
    EXPECT_NE(log.find("the 50-minute limit for waiting ran out with the question open: the run ends "
                       "for a later try (1618)"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("exit code 1618: the 50-minute limit for waiting ran out"),
              std::string::npos)
        << log;
    EXPECT_FALSE(LeftFiles());

    // The last box of a run waits no longer than the run has left.
    install::ProductList().clear();
    TheSimulation().shownBoxes.clear();
    TheSimulation().sessionReplies = {{true, kIdRetry}};
    TheSimulation().afterSnapshot = [](platform::host::Simulation& machine) {
        machine.clockMicroseconds += 48ull * 60 * 1000000;
    };
    EXPECT_EQ(Run({L"/q"}), 1618);
    ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u);
    EXPECT_EQ(TheSimulation().shownBoxes[0].timeoutSeconds, 120u) << "2 of the 50 minutes left";
}

} // namespace
