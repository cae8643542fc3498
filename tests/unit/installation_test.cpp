// Discovery, the running-program guard and the default run, against the simulated machine.
#include "install/discovery.h"
#include "install/exit_code.h"
#include "install/host_guard.h"
#include "install/run_install.h"
#include "messages/presenter.h"
#include "payload/resource_store.h"
#include "payload/temp_name.h"
#include "platform/host/simulation.h"
#include "platform/msi.h"
#include "runlog/run_log.h"
#include "test_support.h"

#include <fstream>
#include <functional>

namespace {

namespace fs = std::filesystem;
using platform::host::InstalledProduct;
using platform::host::TheSimulation;

constexpr wchar_t kA[] = L"{6513270E-4F3E-0D37-F2A7-4DE452E6B438}"; // first sample target
constexpr wchar_t kB[] = L"{D23F0824-4F3E-2F33-0C5C-7FD0A6A3A450}"; // second sample target
constexpr int kIdCancel = 2;
constexpr int kIdRetry = 4;

InstalledProduct Product(const wchar_t* version, const wchar_t* language,
                         const wchar_t* name = L"Corvath") {
    InstalledProduct product;
    product.properties = {
        {L"VersionString", version}, {L"ProductName", name}, {L"Language", language}};
    return product;
}

std::wstring Catalogue(unsigned id, platform::LanguageId language) {
    payload::SetMessageLanguage(language);
    std::wstring text;
    payload::LoadResString(id, text, 256);
    payload::ResetMessageLanguage();
    return text;
}

class Installation : public testing_support::FreshProcess {
  protected:
    void SetUp() override {
        FreshProcess::SetUp();
        install::ProductList().clear();
        prototype_.targetVersion = L"8.2.0.5";
        prototype_.applicableVersions = L"8.1.0.4,";
    }
    std::vector<std::wstring> Codes() const {
        std::vector<std::wstring> codes;
        for (const auto& record : install::ProductList()) {
            codes.push_back(record.productCode);
        }
        return codes;
    }
    std::vector<std::wstring> Captions() const {
        std::vector<std::wstring> captions;
        for (const auto& box : TheSimulation().shownBoxes) {
            captions.push_back(box.caption);
        }
        return captions;
    }
    bool TempCopyExists() const { return fs::exists(scratch_ / "MSP2"); }

    install::ProductRecord prototype_;
};

TEST_F(Installation, DiscoveryKeepsTheListOrderAndFillsEachRecord) {
    TheSimulation().products[kA] = Product(L"8.1.0.4", L"1031", L"Corvath A");
    TheSimulation().products[kB] = Product(L"8.0.0.0", L"1036", L"Corvath B");
    install::DiscoverProducts(prototype_, std::wstring(kB) + L";" + kA);
    ASSERT_EQ(Codes(), (std::vector<std::wstring>{kB, kA}));
    const install::ProductRecord& b = install::ProductList()[0];
    EXPECT_EQ(b.productName, L"Corvath B");
    EXPECT_EQ(b.language, L"1036");
    EXPECT_EQ(b.installedVersion, L"8.0.0.0");
    EXPECT_EQ(b.targetVersion, L"8.2.0.5");
    EXPECT_EQ(b.applicableVersions, L"8.1.0.4,");
}

TEST_F(Installation, DiscoveryOverOddTargetLists) {
    TheSimulation().products[kA] = Product(L"8.1.0.4", L"1031");
    TheSimulation().products[kB] = Product(L"8.1.0.4", L"1031");
    const std::wstring a = kA;
    const std::wstring b = kB;
    struct Row {
        std::wstring targets;
        std::vector<std::wstring> found;
        std::vector<std::wstring> queried;
    };
    const Row rows[] = {
        {a + L";" + b, {a, b}, {a, b}},
        {a + L";;" + b, {a}, {a}}, // an empty entry ends the walk
        {L";" + a, {}, {}},
        {a + L";", {a}, {a}},
        {a + L";" + a, {a, a}, {a, a}},
        {L"", {}, {}},
        {L" " + a + L";" + b, {b}, {L" " + a, b}}, // the blank goes to the installer as it is
    };
    for (const Row& row : rows) {
        install::ProductList().clear();
        TheSimulation().productQueries.clear();
        install::DiscoverProducts(prototype_, row.targets);
        EXPECT_EQ(Codes(), row.found) << testing::PrintToString(row.targets);
        EXPECT_EQ(TheSimulation().productQueries, row.queried)
            << testing::PrintToString(row.targets);
    }
}

TEST_F(Installation, AdvertisedCountsAsInstalledOtherStatesDoNot) {
    for (int state : {5, 1, 2, 3, 4, -1, -2, 0}) {
        InstalledProduct product = Product(L"8.1.0.4", L"1033");
        product.state = state;
        TheSimulation().products[kA] = product;
        EXPECT_EQ(install::IsProductInstalled(kA), state == 5 || state == 1) << state;
    }
}

TEST_F(Installation, AMissingPropertyReadsAsEmptyALongOneAsItsFirst1023Characters) {
    InstalledProduct product;
    TheSimulation().products[kA] = product;
    EXPECT_EQ(install::ReadProductProperty(kA, L"VersionString"), L"");
    EXPECT_EQ(install::ReadProductProperty(kB, L"ProductName"), L"");
    // The simulated installer leaves the buffer empty on "more data", as Wine's does.
    for (std::size_t length : {1023u, 1024u, 1208u, 40000u}) {
        std::wstring name;
        for (std::size_t i = 0; i < length; ++i) {
            name.push_back(static_cast<wchar_t>(L'A' + i % 26));
        }
        TheSimulation().products[kA].properties[L"ProductName"] = name;
        EXPECT_EQ(install::ReadProductProperty(kA, L"ProductName"), name.substr(0, 1023)) << length;
    }
}

TEST_F(Installation, TheGuardMatchesWholeFileNamesIgnoringCase) {
    struct Row {
        std::uint32_t pid;
        const wchar_t* exe;
        bool running;
    };
    const Row rows[] = {
        {100, L"corvath.exe", true},   {100, L"CORVATH.EXE", true},      {0, L"corvath.exe", false},
        {100, L"xcorvath.exe", false}, {100, L"corvath.exe.old", false}, {100, L"corvath", false},
    };
    for (const Row& row : rows) {
        TheSimulation().processes = {{4, L"System"}, {row.pid, row.exe}};
        EXPECT_EQ(install::IsProcessRunning(install::kHostProgramImage), row.running) << row.exe;
    }
    TheSimulation().snapshotWorks = false;
    TheSimulation().processes = {{100, L"corvath.exe"}};
    EXPECT_FALSE(install::IsProcessRunning(install::kHostProgramImage));
}

TEST_F(Installation, TheGuardAsksUntilTheProgramIsClosed) {
    const install::WaitBudget budget;
    EXPECT_EQ(install::WaitForHostProgramClosed(budget), install::GuardOutcome::Closed);
    EXPECT_TRUE(TheSimulation().shownBoxes.empty());

    messages::SetQuiet(true); // the dialog is not a message: quiet does not silence it
    TheSimulation().processes = {{100, L"corvath.exe"}, {101, L"Corvath.exe"}};
    TheSimulation().answers = {kIdRetry, kIdRetry};
    TheSimulation().snapshotsTaken = 0;
    TheSimulation().afterSnapshot = [](platform::host::Simulation& machine) {
        if (machine.snapshotsTaken == 2) {
            machine.processes.clear(); // closed while the second box was up
        }
    };
    EXPECT_EQ(install::WaitForHostProgramClosed(budget), install::GuardOutcome::Closed);
    ASSERT_EQ(TheSimulation().shownBoxes.size(), 2u);
    const auto& box = TheSimulation().shownBoxes[0];
    EXPECT_EQ(box.type, 0x50015u);
    EXPECT_EQ(box.caption, L"Installation Error");
    EXPECT_EQ(box.text, L"The installer has detected that the following programs\nare running.\n\n"
                        L"Corvath\n\nIn order to complete installation, these programs must\n"
                        L"be closed.\n");
}

TEST_F(Installation, OnlyRetryLooksAgainAndOnlyCancelIsANo) {
    // Cancel, and the answers of a box that could not be shown at all, or that nobody answered
    // before the run's time was up.
    const std::pair<int, install::GuardOutcome> rows[] = {
        {kIdCancel, install::GuardOutcome::Cancelled},
        {0, install::GuardOutcome::Unanswered},
        {-1, install::GuardOutcome::Unanswered},
        {1, install::GuardOutcome::Unanswered},
        {platform::kAnswerTimedOut, install::GuardOutcome::OutOfTime},
    };
    for (const auto& [answer, outcome] : rows) {
        const install::WaitBudget budget;
        TheSimulation().shownBoxes.clear();
        TheSimulation().processes = {{100, L"corvath.exe"}};
        TheSimulation().answers = {answer, kIdRetry, kIdRetry};
        EXPECT_EQ(install::WaitForHostProgramClosed(budget), outcome) << answer;
        ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u) << answer;
        EXPECT_EQ(TheSimulation().shownBoxes[0].timeoutSeconds, 50u * 60) << "the run's bound";
    }
}

TEST_F(Installation, OneProductIsPatchedInItsLanguage) {
    TheSimulation().products[kA] = Product(L"8.1.0.4", L"1031");
    const install::InstallResult result = install::RunInstall();
    EXPECT_TRUE(result.completed);
    EXPECT_EQ(result.exitCode, 0u);

    ASSERT_EQ(TheSimulation().configureCalls.size(), 1u);
    const auto& call = TheSimulation().configureCalls[0];
    EXPECT_EQ(call.productCode, kA);
    EXPECT_EQ(call.uiLevel, 0x23u);
    EXPECT_EQ(call.threadLocale, 1031u);
    EXPECT_EQ(call.commandLine, L"PATCH=\"" + scratchWide_ +
                                    L"/MSP2\" REBOOTPROMPT=S FILESINUSETEXT=\"" +
                                    Catalogue(316, 1031) + L"\"");
    EXPECT_EQ(TheSimulation().uiLevel, 1u) << "the level is restored after the call";

    ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u);
    EXPECT_EQ(TheSimulation().shownBoxes[0].text, Catalogue(301, 1031));
    EXPECT_EQ(TheSimulation().shownBoxes[0].caption, Catalogue(312, 1031));
    EXPECT_FALSE(TempCopyExists()) << "the normal end deletes the temporary patch";
}

TEST_F(Installation, RebootResultsAreSuccessAndReachTheExitCode) {
    for (std::uint32_t code : {1641u, 3010u}) {
        install::ProductList().clear();
        TheSimulation().shownBoxes.clear();
        InstalledProduct product = Product(L"8.1.0.4", L"1033");
        product.configureResult = code;
        TheSimulation().products[kA] = product;
        const install::InstallResult result = install::RunInstall();
        EXPECT_EQ(result.exitCode, code);
        ASSERT_EQ(Captions(), std::vector<std::wstring>{L"Installation Successful"}) << code;
    }
}

TEST_F(Installation, ARestartStartedByTheInstallerEndsTheRun) {
    InstalledProduct restarting = Product(L"8.1.0.4", L"1033");
    restarting.configureResult = 1641;
    TheSimulation().products[kA] = restarting;
    TheSimulation().products[kB] = Product(L"8.1.0.4", L"1033");
    std::uint32_t error = 0;
    runlog::StartRunLog(testing_support::Wide((scratch_ / "run.log").string()),
                        runlog::LogOpening::CreateNew, error);
    const install::InstallResult result = install::RunInstall();
    runlog::StopRunLog();
    EXPECT_EQ(result.exitCode, 1641u);
    ASSERT_EQ(TheSimulation().configureCalls.size(), 1u) << "nothing is changed under a restart";
    const std::vector<char> log = testing_support::ReadFileBytes(scratch_ / "run.log");
    EXPECT_NE(std::string(log.begin(), log.end())
                  .find("the run ends here; left for a run after the restart: {D23F0824-"),
              std::string::npos);
    EXPECT_FALSE(TempCopyExists());
}

TEST_F(Installation, AFailedProductShowsItsResultAndTheRunGoesOn) {
    InstalledProduct failing = Product(L"8.1.0.4", L"1033");
    failing.configureResult = 1603;
    TheSimulation().products[kA] = failing;
    InstalledProduct good = Product(L"8.1.0.4", L"1033");
    good.configureResult = 3010;
    TheSimulation().products[kB] = good;

    const install::InstallResult result = install::RunInstall();
    EXPECT_TRUE(result.completed);
    EXPECT_EQ(result.exitCode, 1603u) << "a later reboot code must not hide the failure";
    ASSERT_EQ(TheSimulation().shownBoxes.size(), 2u);
    const std::wstring& failure = TheSimulation().shownBoxes[0].text;
    EXPECT_EQ(failure.substr(failure.size() - 16), L"Error Code: 1603");
    EXPECT_EQ(TheSimulation().shownBoxes[1].caption, L"Installation Successful");
}

TEST_F(Installation, TwoProductsTwoLanguages) {
    TheSimulation().products[kA] = Product(L"8.1.0.4", L"1031");
    TheSimulation().products[kB] = Product(L"8.1.0.4", L"1036");
    install::RunInstall();
    ASSERT_EQ(TheSimulation().shownBoxes.size(), 2u);
    EXPECT_EQ(TheSimulation().shownBoxes[0].text, Catalogue(301, 1031));
    EXPECT_EQ(TheSimulation().shownBoxes[1].text, Catalogue(301, 1036));
    // Windows' own buttons in the language of the text.
    EXPECT_EQ(TheSimulation().shownBoxes[0].uiLanguage, 1031);
    EXPECT_EQ(TheSimulation().shownBoxes[1].uiLanguage, 1036);
    ASSERT_EQ(TheSimulation().configureCalls.size(), 2u);
    EXPECT_NE(TheSimulation().configureCalls[1].commandLine.find(Catalogue(316, 1036)),
              std::wstring::npos);
}

TEST_F(Installation, EveryProductCurrentShowsOne306InTheUsersLanguage) {
    TheSimulation().userUiLanguage = 1033;
    TheSimulation().products[kA] = Product(L"8.2.0.5", L"1031", L"Corvath DE");
    const install::InstallResult result = install::RunInstall();
    EXPECT_TRUE(result.completed);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(TheSimulation().configureCalls.empty());
    ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u);
    EXPECT_EQ(TheSimulation().shownBoxes[0].text,
              L"Your version of Corvath DE is up-to-date and this service pack is not necessary");
    EXPECT_EQ(TheSimulation().threadLocale, 1024u);
    EXPECT_FALSE(TempCopyExists());
}

TEST_F(Installation, ACurrentAndAnOldProductGive308Only) {
    TheSimulation().products[kA] = Product(L"8.2.0.5", L"1033");
    TheSimulation().products[kB] = Product(L"8.0.0.0", L"1033", L"Corvath Old");
    const install::InstallResult result = install::RunInstall();
    EXPECT_EQ(result.exitCode, 1642u);
    ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u);
    EXPECT_NE(TheSimulation().shownBoxes[0].text.find(L"designed for Corvath Old"),
              std::wstring::npos);
}

TEST_F(Installation, NoTargetInstalledShows307AndNeverTheDialog) {
    TheSimulation().processes = {{100, L"corvath.exe"}};
    const install::InstallResult result = install::RunInstall();
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(result.exitCode, 1642u);
    EXPECT_EQ(TheSimulation().snapshotsTaken, 0);
    ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u);
    EXPECT_NE(TheSimulation().shownBoxes[0].text.find(L"could not be located"), std::wstring::npos);
    EXPECT_FALSE(TempCopyExists());
}

TEST_F(Installation, CancellingTheDialogTouchesNothing) {
    TheSimulation().products[kA] = Product(L"8.1.0.4", L"1031");
    TheSimulation().processes = {{100, L"corvath.exe"}};
    TheSimulation().answers = {kIdCancel};
    const install::InstallResult result = install::RunInstall();
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(result.exitCode, 1602u);
    EXPECT_TRUE(TheSimulation().configureCalls.empty());
    ASSERT_EQ(Captions(),
              (std::vector<std::wstring>{L"Installation Error", L"Installation Error"}));
    const std::wstring& failure = TheSimulation().shownBoxes[1].text;
    EXPECT_EQ(failure.rfind(L"A problem prevented", 0), 0u)
        << "the 300 after a cancel is in the user's language";
    EXPECT_EQ(failure.substr(failure.size() - 16), L"Error Code: 1602");
    EXPECT_FALSE(TempCopyExists());
}

TEST_F(Installation, QuietShowsOnlyTheDialog) {
    messages::SetQuiet(true);
    TheSimulation().products[kA] = Product(L"8.1.0.4", L"1031");
    TheSimulation().processes = {{100, L"corvath.exe"}};
    TheSimulation().answers = {kIdRetry};
    TheSimulation().afterSnapshot = [](platform::host::Simulation& machine) {
        machine.processes.clear();
    };
    const install::InstallResult result = install::RunInstall();
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(TheSimulation().configureCalls.size(), 1u);
    EXPECT_EQ(Captions(), std::vector<std::wstring>{L"Installation Error"});
}

TEST_F(Installation, AListNamingTheTargetMakesTheRunDecideByThePatchState) {
    // A pack whose list names its target version: its patch leaves the version as it is, so the
    // version cannot say whether a product has it. Windows Installer's patch state does.
    TheSimulation().products[kA] = Product(L"8.1.0.4", L"1031", L"Corvath A");
    TheSimulation().products[kB] = Product(L"8.1.0.4", L"1036");
    TheSimulation().products[kB].patches[L"{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}"] = {};
    install::ProductRecord prototype = prototype_;
    prototype.applicableVersions = L"8.2.0.5,8.1.0.4,";
    install::DiscoverProducts(prototype, std::wstring(kA) + L";" + kB);
    install::RunTally tally;
    install::InstallerLog noLog(L"");
    install::WaitBudget budget;
    const install::PatchAtHand patch{L"C:\\MSP2", L"{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}"};
    EXPECT_EQ(install::InstallProducts(install::ProductList(), patch, tally, {}, noLog, budget),
              install::ProductsOutcome::Done);
    ASSERT_EQ(TheSimulation().configureCalls.size(), 1u);
    EXPECT_EQ(TheSimulation().configureCalls[0].productCode, kA) << "B has the patch applied";
    EXPECT_EQ(install::ExitCodeFor(tally), 0u);
}

TEST_F(Installation, ASmallUpdateIsAppliedOnceThenCurrentAndWindowsInstallersVerdictIsLogged) {
    // A patch that leaves 1.1.1 as it is. Windows Installer registers it when it applies it, and
    // says (here) that it does not apply to the second product, which the pack patches all the
    // same.
    const std::wstring patchCode = L"{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}";
    for (const wchar_t* code : {kA, kB}) {
        TheSimulation().products[code] = Product(L"1.1.1", L"1033");
        TheSimulation().products[code].registersPatches = true;
    }
    TheSimulation().products[kB].patchVerdict = 1642;
    install::ProductRecord prototype = prototype_;
    prototype.targetVersion = L"1.1.1.0";
    prototype.applicableVersions = L"1.1.1.0,";
    install::DiscoverProducts(prototype, std::wstring(kA) + L";" + kB);
    const install::PatchAtHand patch{testing_support::Wide(CORVATH_SAMPLE_PATCH_FILE), patchCode};
    std::uint32_t error = 0;
    runlog::StartRunLog(testing_support::Wide((scratch_ / "run.log").string()),
                        runlog::LogOpening::CreateNew, error);
    for (const auto expected :
         {install::ProductsOutcome::Done, install::ProductsOutcome::AllUpToDate}) {
        install::RunTally tally;
        install::InstallerLog noLog(L"");
        install::WaitBudget budget;
        EXPECT_EQ(install::InstallProducts(install::ProductList(), patch, tally, {}, noLog, budget),
                  expected);
        EXPECT_EQ(install::ExitCodeFor(tally), 0u);
    }
    runlog::StopRunLog();
    EXPECT_EQ(TheSimulation().configureCalls.size(), 2u) << "once for each, on the first run";
    EXPECT_EQ(TheSimulation().products[kA].patches.count(patchCode), 1u);
    const std::vector<char> bytes = testing_support::ReadFileBytes(scratch_ / "run.log");
    const std::string log(bytes.begin(), bytes.end());
    EXPECT_NE(log.find("patch applied (state \"1\"): up to date, Windows Installer has the patch "
                       "applied to it"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("the pack and Windows Installer disagree on {D23F0824-4F3E-2F33-0C5C-"
                       "7FD0A6A3A450}: the pack applies the patch, Windows Installer says it "
                       "does not apply (1642"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("disagree on {6513270E"), std::string::npos);
}

TEST_F(Installation, AProductWhoseFamilyMovedOnIsCurrentAndOneUnderAnUpgradedCodeByItsVersion) {
    // A: at a version the pack does not list, where Windows Installer answers status 0 with no
    // place in the sequence: a later patch of the family superseded or obsoleted this one there.
    // Then three products under a code a major-upgrade patch moves products to: at the target,
    // past it (8.10 orders after 8.2 field by field) and below it.
    constexpr wchar_t kAt[] = L"{0A1B2C3D-0000-4000-8000-0000000000A1}";
    constexpr wchar_t kPast[] = L"{0A1B2C3D-0000-4000-8000-0000000000A2}";
    constexpr wchar_t kBelow[] = L"{0A1B2C3D-0000-4000-8000-0000000000A3}";
    TheSimulation().products[kA] = Product(L"8.1.5.0", L"1031");
    TheSimulation().products[kA].patchOrder = platform::kNotInSequence;
    TheSimulation().products[kAt] = Product(L"8.2.0.5", L"1033");
    TheSimulation().products[kPast] = Product(L"8.10.0.0", L"1033");
    TheSimulation().products[kBelow] = Product(L"8.1.0.4", L"1033");
    std::uint32_t error = 0;
    runlog::StartRunLog(testing_support::Wide((scratch_ / "run.log").string()),
                        runlog::LogOpening::CreateNew, error);
    install::DiscoverProducts(prototype_, kA);
    install::DiscoverUpgradedProducts(prototype_, {kAt, kA, kPast, kBelow});
    EXPECT_EQ(Codes(), (std::vector<std::wstring>{kA, kAt, kPast})) << "kA once, kBelow not";
    install::RunTally tally;
    install::InstallerLog noLog(L"");
    install::WaitBudget budget;
    const install::PatchAtHand patch{L"C:\\MSP2", L"{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}"};
    EXPECT_EQ(install::InstallProducts(install::ProductList(), patch, tally, {}, noLog, budget),
              install::ProductsOutcome::AllUpToDate);
    runlog::StopRunLog();
    EXPECT_TRUE(TheSimulation().configureCalls.empty());
    EXPECT_TRUE(TheSimulation().shownBoxes.empty()) << "no 308";
    EXPECT_EQ(install::ExitCodeFor(tally), 0u);
    const std::vector<char> bytes = testing_support::ReadFileBytes(scratch_ / "run.log");
    const std::string log(bytes.begin(), bytes.end());
    EXPECT_NE(log.find("it is superseded or obsoleted"), std::string::npos) << log;
    EXPECT_NE(log.find("{0A1B2C3D-0000-4000-8000-0000000000A3}, a code the patch upgrades to, is "
                       "at \"8.1.0.4\", below the target 8.2.0.5: not a target"),
              std::string::npos)
        << log;
}

TEST_F(Installation, RelativeFoldersStillGiveWindowsInstallerAFullPath) {
    // TMP relative, and the naming's fallbacks: the drive's root ("\\" on Windows, relative to
    // the current drive), then the current directory.
    const fs::path previous = fs::current_path();
    fs::current_path(scratch_);
    fs::create_directory(scratch_ / "rel");
    fs::create_directory(scratch_ / "root");
    struct Row {
        const char* tmp;
        const wchar_t* root;
        const wchar_t* copy;
    };
    const Row rows[] = {
        {"rel", L"/", L"/rel/MSP2"},
        {"missing", L"root", L"/root/MSP2"},
        {"missing", L"no-root", L"/MSP2"},
    };
    for (const Row& row : rows) {
        install::ProductList().clear();
        TheSimulation().configureCalls.clear();
        payload::ResetTempNameCounter();
        setenv("TMP", row.tmp, 1);
        TheSimulation().driveRoot = row.root;
        TheSimulation().products[kA] = Product(L"8.1.0.4", L"1033");
        const install::InstallResult result = install::RunInstall();
        EXPECT_EQ(result.exitCode, 0u) << row.tmp;
        ASSERT_EQ(TheSimulation().configureCalls.size(), 1u) << row.tmp;
        EXPECT_EQ(TheSimulation().configureCalls[0].commandLine.rfind(
                      L"PATCH=\"" + scratchWide_ + row.copy + L"\" ", 0),
                  0u)
            << row.tmp;
        EXPECT_FALSE(fs::exists(scratch_ / fs::path(row.copy).relative_path())) << row.tmp;
        // A missing temporary folder is replaced, for Windows Installer, by the copy's.
        const fs::path folder = (scratch_ / fs::path(row.copy).relative_path()).parent_path() / "";
        EXPECT_EQ(fs::path(std::getenv("TMP")), row.tmp == std::string("rel") ? "rel" : folder)
            << row.tmp;
    }
    fs::current_path(previous);
}

TEST_F(Installation, ACopyThatIsNotThePackageIsNeverApplied) {
    TheSimulation().products[kA] = Product(L"8.1.0.4", L"1031");
    struct Row {
        const char* name;
        bool spoilWrite; // a write lands with a byte wrong (a faulty disk, a filter driver)
        std::function<void(const std::wstring&)> meanwhile; // another process of the user's,
                                                            // between our write and our hold
        std::uint32_t exitCode; // 1603: the failure message shows 1392, ERROR_FILE_CORRUPT
        bool copyLeft;          // a stand-in is not ours to delete
    };
    const Row rows[] = {
        {"a write that lands wrong is read back and refused", true, nullptr, 1603, false},
        {"a file of its own under our name is refused", false,
         [](const std::wstring& path) {
             const fs::path file(path);
             fs::copy_file(file, file.string() + ".theirs");
             fs::remove(file);
             fs::rename(file.string() + ".theirs", file);
         },
         1603, true},
        {"our own file's bytes it cannot change (its security, on Windows)", false,
         [](const std::wstring& path) {
             if (TheSimulation().ownFiles.count(path) == 0) {
                 std::fstream(fs::path(path), std::ios::in | std::ios::out | std::ios::binary)
                     .seekp(5000)
                     .put('!');
             }
         },
         0, false},
    };
    for (const Row& row : rows) {
        install::ProductList().clear();
        TheSimulation().shownBoxes.clear();
        TheSimulation().configureCalls.clear();
        fs::remove(scratch_ / "MSP2");
        payload::ResetTempNameCounter();
        TheSimulation().spoilWrites = row.spoilWrite;
        TheSimulation().beforeHeldOpen = row.meanwhile;
        const install::InstallResult result = install::RunInstall();
        EXPECT_EQ(result.exitCode, row.exitCode) << row.name;
        EXPECT_EQ(TheSimulation().configureCalls.size(), row.exitCode == 0 ? 1u : 0u) << row.name;
        ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u) << row.name;
        if (row.exitCode != 0) {
            const std::wstring& failure = TheSimulation().shownBoxes[0].text;
            EXPECT_EQ(failure.substr(failure.size() - 16), L"Error Code: 1392") << row.name;
        }
        EXPECT_EQ(TempCopyExists(), row.copyLeft) << row.name;
    }
}

TEST_F(Installation, AnEmptyLanguageMeansTheUsersAndARefusedOneChangesNothing) {
    TheSimulation().userUiLanguage = 1036;
    TheSimulation().products[kA] = Product(L"8.1.0.4", L"1031");
    TheSimulation().products[kB] = Product(L"8.1.0.4", L"99999999");
    install::RunInstall();
    ASSERT_EQ(TheSimulation().shownBoxes.size(), 2u);
    EXPECT_EQ(TheSimulation().shownBoxes[1].text, Catalogue(301, 1031)) << "still German";

    install::ProductList().clear();
    TheSimulation().shownBoxes.clear();
    TheSimulation().products.erase(kB);
    TheSimulation().configureCalls.clear();
    TheSimulation().products[kA] = Product(L"8.1.0.4", L"");
    install::RunInstall();
    ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u);
    EXPECT_EQ(TheSimulation().shownBoxes[0].text, Catalogue(301, 1036));
    // The buttons in the user's language too, not in the one that suits a console (0); the
    // locale the user's default (LOCALE_USER_DEFAULT), never LCID 0.
    EXPECT_EQ(TheSimulation().shownBoxes[0].uiLanguage, 1036);
    ASSERT_EQ(TheSimulation().configureCalls.size(), 1u);
    EXPECT_EQ(TheSimulation().configureCalls[0].threadLocale, 1024u);
}

} // namespace
