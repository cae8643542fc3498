// The command line: what each argument selects, what is refused, and what whole runs on the
// simulated machine make of both.
#include "app/entry.h"
#include "app/help.h"
#include "app/run_options.h"
#include "install/product.h"
#include "payload/resource_store.h"
#include "platform/host/simulation.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using install::InstallerUi;
using platform::host::TheSimulation;
using Arguments = std::vector<std::wstring>;

app::RunOptions Parse(Arguments arguments) {
    arguments.insert(arguments.begin(), L"corvath-sp.exe");
    app::RunOptions options;
    app::ParseArguments(arguments, options);
    return options;
}

TEST(CommandLine, NoArgumentsIsADefaultInstallationWithBoxes) {
    const app::RunOptions options = Parse({});
    EXPECT_TRUE(options.installDefault);
    EXPECT_FALSE(options.quiet);
    EXPECT_EQ(options.installerUi, InstallerUi::Basic);
    EXPECT_FALSE(options.extractRequested || options.patchListRequested ||
                 options.listProductsRequested);
    EXPECT_FALSE(app::LineRefused(options));
}

TEST(CommandLine, SwitchesIgnoreTheCaseOfAsciiLettersOnly) {
    EXPECT_TRUE(Parse({L"/Q"}).quiet);
    EXPECT_TRUE(Parse({L"/E"}).extractRequested);
    EXPECT_TRUE(Parse({L"/P"}).patchListRequested);
    EXPECT_TRUE(Parse({L"/I"}).listProductsRequested);
    EXPECT_EQ(Parse({L"/QUIET"}).installerUi, InstallerUi::None);
    EXPECT_EQ(Parse({L"/Passive"}).installerUi, InstallerUi::Passive);
    // Dotless and dotted capital I fold to i in some locales; a switch must not.
    for (const wchar_t* turkish : {L"/\u0130", L"/\u0131"}) {
        const app::RunOptions options = Parse({turkish});
        EXPECT_FALSE(options.listProductsRequested);
        EXPECT_EQ(options.refused, Arguments{turkish});
    }
}

TEST(CommandLine, EveryArgumentThatIsNoSwitchIsRefused) {
    // Mistyped switches, forgotten or pasted slashes, other installers' options, bare words.
    const wchar_t* const refused[] = {L"/unistall",
                                      L"uninstall",
                                      L"\u2013uninstall",
                                      L"\\uninstall",
                                      L"?",
                                      L"/qn",
                                      L"/qb",
                                      L"-q",
                                      L"q",
                                      L"/",
                                      L"",
                                      L"/q ",
                                      L"//q",
                                      L"/norestar",
                                      L"-norestart",
                                      L"/logs",
                                      L"-help",
                                      L"/x",
                                      L"/forcerestart",
                                      L"/promptrestart",
                                      L"REBOOT=ReallySuppress",
                                      L"C:\\sp.log"};
    for (const wchar_t* argument : refused) {
        const app::RunOptions options = Parse({argument});
        EXPECT_EQ(options.refused, Arguments{argument}) << std::wstring(argument);
        EXPECT_TRUE(app::LineRefused(options)) << std::wstring(argument);
    }
    // The whole line is read: switches before and after stand, and every refusal is named.
    const app::RunOptions options =
        Parse({L"/unistall", L"/q", L"uninstall", L"/norestart", L"REBOOT=ReallySuppress"});
    EXPECT_EQ(options.refused, (Arguments{L"/unistall", L"uninstall", L"REBOOT=ReallySuppress"}));
    EXPECT_TRUE(options.quiet);
    EXPECT_TRUE(options.noRestart);
}

TEST(CommandLine, WhatFollowsASwitchIsItsArgumentOrIsRefused) {
    struct Row {
        Arguments arguments;
        Arguments refused;
        Arguments unread;
    };
    const Row rows[] = {
        // /e and /p take the next argument whatever it looks like.
        {{L"/e", L"/unistall"}, {}, {}},
        {{L"/p", L"?"}, {}, {}},
        {{L"/e", L"\u2013uninstall", L"uninstall"}, {L"uninstall"}, {}},
        // /log takes it unless it is a switch: a file name that looks like none is a file name.
        {{L"/log", L"REBOOT=ReallySuppress"}, {}, {}},
        {{L"/log", L"/quiet", L"/qn"}, {L"/qn"}, {}},
        // /logstyle knows two names; anything else, or nothing, is refused with it.
        {{L"/logstyle", L"/unistall"}, {L"/logstyle /unistall"}, {}},
        {{L"/logstyle", L"\u2013uninstall"}, {L"/logstyle \u2013uninstall"}, {}},
        {{L"/logstyle", L"/q"}, {L"/logstyle"}, {}},
        {{L"/logstyle"}, {L"/logstyle"}, {}},
        // /i ends the parse: what follows is never read, so never refused.
        {{L"/i", L"/unistall", L"uninstall"}, {}, {L"/unistall", L"uninstall"}},
        {{L"?", L"/i", L"?"}, {L"?"}, {L"?"}},
    };
    for (const Row& row : rows) {
        const app::RunOptions options = Parse(row.arguments);
        EXPECT_EQ(options.refused, row.refused) << testing::PrintToString(row.arguments);
        EXPECT_EQ(options.unread, row.unread) << testing::PrintToString(row.arguments);
    }
    EXPECT_EQ(Parse({L"/e", L"/unistall"}).extractPath, L"/unistall");
    EXPECT_EQ(Parse({L"/log", L"REBOOT=ReallySuppress"}).logPath, L"REBOOT=ReallySuppress");
    EXPECT_EQ(Parse({L"/log", L"/quiet"}).installerUi, InstallerUi::None) << "a switch, not a file";
}

TEST(CommandLine, HelpAnywhereWinsAndTheRefusedArgumentsAreStillKept) {
    for (const Arguments& arguments :
         {Arguments{L"/unistall", L"/?"}, Arguments{L"-h", L"uninstall"}}) {
        const app::RunOptions options = Parse(arguments);
        EXPECT_TRUE(options.helpRequested) << testing::PrintToString(arguments);
        EXPECT_EQ(options.refused.size(), 1u) << testing::PrintToString(arguments);
    }
}

TEST(CommandLine, QuietSwitchesSilenceTheBoxesAndChooseTheInstallersInterface) {
    struct Row {
        Arguments arguments;
        bool quiet;
        InstallerUi installerUi;
    };
    const Row rows[] = {
        {{}, false, InstallerUi::Basic},
        {{L"/q"}, true, InstallerUi::Basic},
        {{L"/passive"}, true, InstallerUi::Passive},
        {{L"/quiet"}, true, InstallerUi::None},
        // Whatever the order, the quietest asked for.
        {{L"/quiet", L"/passive"}, true, InstallerUi::None},
        {{L"/passive", L"/q"}, true, InstallerUi::Passive},
    };
    for (const Row& row : rows) {
        const app::RunOptions options = Parse(row.arguments);
        EXPECT_EQ(options.quiet, row.quiet) << testing::PrintToString(row.arguments);
        EXPECT_EQ(options.installerUi, row.installerUi) << testing::PrintToString(row.arguments);
        EXPECT_TRUE(options.installDefault) << testing::PrintToString(row.arguments);
    }
}

TEST(CommandLine, ASwitchAtTheEndKeepsThePathItHad) {
    app::RunOptions options = Parse({L"/e"});
    EXPECT_TRUE(options.extractRequested);
    EXPECT_TRUE(options.extractPath.empty());
    EXPECT_FALSE(options.installDefault);

    options = Parse({L"/p", L"first.txt", L"/p"});
    EXPECT_TRUE(options.patchListRequested);
    EXPECT_EQ(options.patchListPath, L"first.txt");

    options = Parse({L"/e", L"a.msp", L"/e", L"b.msp"});
    EXPECT_EQ(options.extractPath, L"b.msp");
}

TEST(CommandLine, ListingProductsEndsTheParse) {
    app::RunOptions options = Parse({L"/i", L"/e", L"out.msp", L"/q"});
    EXPECT_TRUE(options.listProductsRequested);
    EXPECT_FALSE(options.extractRequested);
    EXPECT_FALSE(options.quiet);

    options = Parse({L"/e", L"out.msp", L"/i"});
    EXPECT_TRUE(options.extractRequested);
    EXPECT_EQ(options.extractPath, L"out.msp");
    EXPECT_TRUE(options.listProductsRequested);

    options = Parse({L"/q", L"/i"});
    EXPECT_TRUE(options.quiet);
    EXPECT_TRUE(options.listProductsRequested);
}

TEST(CommandLine, RestartLogAndHelpSwitchesFollowTheSameRules) {
    app::RunOptions options = Parse({L"/NoRestart", L"/LOG", L"C:\\logs\\sp.log", L"/q"});
    EXPECT_TRUE(options.noRestart);
    EXPECT_TRUE(options.logRequested);
    EXPECT_EQ(options.logPath, L"C:\\logs\\sp.log");
    EXPECT_TRUE(options.quiet);
    EXPECT_TRUE(options.installDefault) << "none of them is a job";

    // /log /q is the default log, quietly.
    options = Parse({L"/log", L"/Q"});
    EXPECT_TRUE(options.logRequested);
    EXPECT_TRUE(options.logPath.empty());
    EXPECT_TRUE(options.quiet);
    options = Parse({L"/q", L"/log", L"/e", L"C:\\x.msp"});
    EXPECT_TRUE(options.logPath.empty());
    EXPECT_TRUE(options.extractRequested) << "a job after /log is still a job";
    EXPECT_EQ(options.extractPath, L"C:\\x.msp");

    for (const wchar_t* help : {L"/?", L"/H", L"-?", L"-h", L"/Help", L"--HELP"}) {
        EXPECT_TRUE(Parse({help}).helpRequested) << std::wstring(help);
    }
}

TEST(CommandLine, SeveralJobsCanBeAskedForAtOnce) {
    const app::RunOptions options = Parse({L"/p", L"list.txt", L"/e", L"x.msp", L"/q"});
    EXPECT_TRUE(options.extractRequested);
    EXPECT_EQ(options.extractPath, L"x.msp");
    EXPECT_TRUE(options.patchListRequested);
    EXPECT_EQ(options.patchListPath, L"list.txt");
    EXPECT_TRUE(options.quiet);
    EXPECT_FALSE(options.installDefault);
}

// Whole runs: a machine with Corvath 8.1.0.4 (German) and, where a test says so, the patch.
constexpr wchar_t kDe[] = L"{6513270E-4F3E-0D37-F2A7-4DE452E6B438}";
constexpr wchar_t kPatch[] = L"{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}";

class CommandLineRun : public testing_support::FreshProcess {
  protected:
    void SetUp() override {
        FreshProcess::SetUp();
        TheSimulation().products[kDe].properties = {
            {L"VersionString", L"8.1.0.4"}, {L"ProductName", L"Corvath"}, {L"Language", L"1031"}};
    }
    int Run(Arguments arguments) {
        install::ProductList().clear();
        TheSimulation().shownBoxes.clear();
        TheSimulation().configureCalls.clear();
        arguments.insert(arguments.begin(), L"corvath-sp.exe");
        TheSimulation().commandLine = arguments;
        return app::Entry();
    }
    // The run logs in the temporary folder, and whether anything else is there.
    std::string Logs(bool* otherFiles = nullptr) const {
        std::string text;
        for (const auto& entry : fs::directory_iterator(scratch_)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("corvath-sp-") && name.ends_with(".log")) {
                const std::vector<char> bytes = testing_support::ReadFileBytes(entry.path());
                text.append(bytes.begin(), bytes.end());
            } else if (otherFiles != nullptr) {
                *otherFiles = true;
            }
        }
        return text;
    }
};

TEST_F(CommandLineRun, ARefusedLineDoesNothingButSaySo) {
    // The patch applied, Corvath open: a run that acted would remove, install or ask.
    TheSimulation().products[kDe].patches[kPatch] = {};
    TheSimulation().processes = {{100, L"corvath.exe"}};
    std::wstring bad;
    payload::LoadResString(309, bad, 256);
    struct Row {
        Arguments arguments;
        const char* logged;
        bool boxShown;
    };
    const Row rows[] = {
        {{L"/unistall", L"/q"}, "refused: \"/unistall\"", false},
        {{L"uninstall"}, "refused: \"uninstall\"", true},
        {{L"\u2013uninstall", L"/norestart"}, "refused: \"\xE2\x80\x93uninstall\"", true},
        {{L"\\uninstall", L"/passive"}, "refused: \"\\uninstall\"", false},
        {{L"?"}, "refused: \"?\"", true},
        {{L"/qn", L"REBOOT=ReallySuppress"}, "refused: \"/qn\", \"REBOOT=ReallySuppress\"", true},
        {{L"/quiet", L"/forcerestart", L"/log"}, "refused: \"/forcerestart\"", false},
    };
    for (const Row& row : rows) {
        fs::remove_all(scratch_);
        fs::create_directories(scratch_);
        const std::string name = testing::PrintToString(row.arguments);
        EXPECT_EQ(Run(row.arguments), 1639) << name;
        EXPECT_TRUE(TheSimulation().configureCalls.empty()) << name;
        EXPECT_TRUE(TheSimulation().removeCalls.empty()) << name;
        EXPECT_TRUE(TheSimulation().mutexes.empty()) << name << ": no mutex taken or waited for";
        EXPECT_EQ(TheSimulation().snapshotsTaken, 0) << name << ": nobody asked to close Corvath";
        bool otherFiles = false;
        const std::string log = Logs(&otherFiles);
        EXPECT_FALSE(otherFiles) << name << ": no copy of the patch";
        EXPECT_NE(log.find(row.logged), std::string::npos) << name << log;
        EXPECT_NE(log.find("exit code 1639: the command line is refused"), std::string::npos)
            << name;
        if (row.boxShown) {
            ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u) << name;
            EXPECT_EQ(TheSimulation().shownBoxes[0].text, bad) << name;
            EXPECT_EQ(TheSimulation().shownBoxes[0].caption, L"Installation Error") << name;
        } else {
            EXPECT_TRUE(TheSimulation().shownBoxes.empty()) << name;
        }
    }
    EXPECT_EQ(TheSimulation().products[kDe].patches.size(), 1u) << "the patch is still applied";
}

TEST_F(CommandLineRun, HelpWithARefusedArgumentShowsTheHelpAndLogsTheArgument) {
    EXPECT_EQ(Run({L"/unistall", L"/?"}), 0);
    ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u);
    std::wstring first;
    payload::LoadResString(317, first, 1024);
    std::wstring second;
    payload::LoadResString(322, second, 1024);
    EXPECT_TRUE(TheSimulation().shownBoxes[0].text.starts_with(first + L"\n" + second + L"\n"))
        << testing::PrintToString(TheSimulation().shownBoxes[0].text);
    EXPECT_TRUE(TheSimulation().configureCalls.empty());
    EXPECT_NE(Logs().find("refused: \"/unistall\" (the help is shown instead)"), std::string::npos)
        << Logs();
}

TEST_F(CommandLineRun, HelpNamesThePackItsPatchCodeAndItsDefaultLogPlace) {
    struct Row {
        platform::LanguageId language;
        const wchar_t* ending;
    };
    const Row rows[] = {
        {1033,
         L"1639.\n\nThis service pack brings Corvath products to version 8.2.0.5. Patch code: "
         L"{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}\nRun log without /log: "
         L"%TEMP%\\corvath-sp-8.2.0.5-<yyyyMMdd-HHmmss>.log (run as SYSTEM: in "
         L"C:\\Windows\\Temp)"},
        {1031, L"1639.\n\nDieses Service Pack bringt Corvath-Produkte auf Version 8.2.0.5. "
               L"Patchcode: {5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}\nAusführungsprotokoll ohne "
               L"/log: %TEMP%\\corvath-sp-8.2.0.5-<yyyyMMdd-HHmmss>.log (bei Ausführung als "
               L"SYSTEM: in C:\\Windows\\Temp)"},
    };
    for (const Row& row : rows) {
        payload::ResetMessageLanguage();
        TheSimulation().userUiLanguage = row.language;
        EXPECT_EQ(Run({L"/h"}), 0) << row.language;
        ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u) << row.language;
        const std::wstring& text = TheSimulation().shownBoxes[0].text;
        EXPECT_TRUE(text.ends_with(row.ending)) << testing::PrintToString(text);
    }

    // Without the pack's version and patch code (the base's resources) the line is left out,
    // never shown with blanks or with its placeholders.
    payload::ResetMessageLanguage();
    TheSimulation().userUiLanguage = 1033;
    TheSimulation().resourceFile =
        std::make_shared<const std::vector<char>>(testing_support::ReadFileBytes(CORVATH_BASE_RES));
    const std::wstring help = app::HelpText();
    TheSimulation().resourceFile.reset(); // the catalogue's own tests read the pack's resources
    EXPECT_TRUE(help.ends_with(L"exit code is 1639.")) << testing::PrintToString(help);
}

TEST_F(CommandLineRun, EachQuietSwitchGivesWindowsInstallerItsInterface) {
    struct Row {
        Arguments arguments;
        bool seen; // a person can see the run's boxes
        std::uint32_t uiLevel;
        std::size_t boxes;
    };
    const Row rows[] = {
        {{}, true, 0x23, 1},            // INSTALLUILEVEL_BASIC | HIDECANCEL; 301 shown
        {{L"/q"}, true, 0x23, 0},       //
        {{L"/passive"}, true, 0x63, 0}, // ... | PROGRESSONLY, as msiexec /passive
        {{L"/quiet"}, true, 2, 0},      // INSTALLUILEVEL_NONE, as msiexec /quiet
        {{L"/passive"}, false, 2, 0},   // nobody could answer a dialog there
    };
    for (const Row& row : rows) {
        const std::string name =
            testing::PrintToString(row.arguments) + (row.seen ? "" : " unseen");
        TheSimulation().station = row.seen ? platform::WindowStation{L"WinSta0", true, 1}
                                           : platform::WindowStation{L"Service-0x0-3e7$", false, 0};
        EXPECT_EQ(Run(row.arguments), 0) << name;
        ASSERT_EQ(TheSimulation().configureCalls.size(), 1u) << name;
        EXPECT_EQ(TheSimulation().configureCalls[0].uiLevel, row.uiLevel) << name;
        EXPECT_EQ(TheSimulation().shownBoxes.size(), row.boxes) << name;
    }
}

} // namespace

TEST_F(CommandLineRun, TheBaseDoesNothingButSayWhatItIs) {
    TheSimulation().resourceFile = std::make_shared<const std::vector<char>>(
        testing_support::ResourcesWithText(u"CORVATH_SP_BASE", u"\x0001"));
    EXPECT_EQ(Run({}), 1603);
    EXPECT_EQ(Run({L"/?"}), 1603);
    EXPECT_TRUE(TheSimulation().shownBoxes.empty());
    EXPECT_TRUE(TheSimulation().configureCalls.empty());
    EXPECT_NE(Logs().find("exit code 1603: this is corvath-sp-base.exe, the base corvath-sp-pack "
                          "makes packs from, not a pack"),
              std::string::npos)
        << Logs();
}
