// The run log of whole runs against the simulated machine, the switches it brought, and /?.
#include "app/entry.h"
#include "app/help.h"
#include "app/logging.h"
#include "payload/resource_store.h"
#include "platform/files.h"
#include "platform/host/simulation.h"
#include "runlog/run_log.h"
#include "test_support.h"

#include <ctime>
#include <fstream>
#include <regex>

namespace {

namespace fs = std::filesystem;
using platform::host::InstalledProduct;
using platform::host::TheSimulation;

constexpr wchar_t kDe[] = L"{6513270E-4F3E-0D37-F2A7-4DE452E6B438}";

class RunLog : public testing_support::FreshProcess {
  protected:
    void SetUp() override {
        FreshProcess::SetUp();
        InstalledProduct product;
        product.properties = {
            {L"VersionString", L"8.1.0.4"}, {L"ProductName", L"Corvath"}, {L"Language", L"1031"}};
        TheSimulation().products[kDe] = product;
    }
    int Run(std::vector<std::wstring> arguments) {
        arguments.insert(arguments.begin(), L"corvath-sp.exe");
        TheSimulation().commandLine = arguments;
        return app::Entry();
    }
    std::vector<fs::path> DefaultLogs() const {
        std::vector<fs::path> logs;
        for (const auto& entry : fs::directory_iterator(scratch_)) {
            const std::string name = entry.path().filename().string();
            if (std::regex_match(name, std::regex(R"(corvath-sp-8\.2\.0\.5-\d{8}-\d{6}\.log)"))) {
                logs.push_back(entry.path());
            }
        }
        return logs;
    }
    static std::string Read(const fs::path& path) {
        const std::vector<char> bytes = testing_support::ReadFileBytes(path);
        return {bytes.begin(), bytes.end()};
    }
};

TEST_F(RunLog, ADefaultRunLogsWhatItDidAndWhy) {
    EXPECT_EQ(Run({L"/norestart"}), 0);
    const std::vector<fs::path> logs = DefaultLogs();
    ASSERT_EQ(logs.size(), 1u);
    const std::string log = Read(logs[0]);
    const std::string installerLog =
        logs[0].string().substr(0, logs[0].string().size() - 4) + ".installer.log";
    const char* expected[] = {
        "corvath-sp.exe 8.2.0.5, built ",
        "command line: corvath-sp.exe /norestart\r\n",
        "switches: default installation, /norestart\r\n",
        "system: host simulation; user: tester, not elevated\r\n",
        "embedded patch: 16049664 bytes, SHA-256 ",
        ", patch code {5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}\r\n",
        " is held and is the embedded package, byte for byte\r\n",
        "target {6513270E-4F3E-0D37-F2A7-4DE452E6B438}: state 5, installed: ProductName "
        "\"Corvath\", VersionString \"8.1.0.4\", Language \"1031\"\r\n",
        "not installed: 21 of the codes, state -1\r\n",
        "running-program check 1: corvath.exe is not running\r\n",
        ": installed \"8.1.0.4\", target 8.2.0.5, applies to \"8.1.0.4,\", language \"1031\", "
        "patch not registered: apply, the installed version is one the pack applies to\r\n",
        "Windows Installer's verdict on the patch for {6513270E-4F3E-0D37-F2A7-4DE452E6B438} "
        "(MsiDeterminePatchSequenceW, context 4): it applies; the pack's decision: apply\r\n",
        "Windows Installer's verbose log: ",
        "installer command line for {6513270E-4F3E-0D37-F2A7-4DE452E6B438}: PATCH=\"",
        " REBOOT=ReallySuppress\r\n",
        "installer result 0 after ",
        "box 301, language 1031, \"Installation erfolgreich\": \"Das Service Pack wurde "
        "erfolgreich installiert.\"; answer: OK\r\n",
        "/MSP2\" is deleted\r\n",
        "exit code 0: done; the run took ",
    };
    for (const char* part : expected) {
        EXPECT_NE(log.find(part), std::string::npos) << part << "\n--- log:\n" << log;
    }
    EXPECT_NE(log.find(installerLog), std::string::npos) << "the run log names the installer's";
    EXPECT_EQ(TheSimulation().installerLogs,
              std::vector<std::wstring>{testing_support::Wide(installerLog)});
    EXPECT_TRUE(fs::exists(installerLog)) << "made new before the installer writes to it";
    // Every line: a local time to the millisecond, then the event.
    const std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} [^\r\n]+)");
    std::istringstream lines(log);
    for (std::string text; std::getline(lines, text);) {
        EXPECT_TRUE(std::regex_match(text.substr(0, text.size() - 1), line)) << text;
    }
    ASSERT_EQ(TheSimulation().configureCalls.size(), 1u) << log;
    const std::wstring& commandLine = TheSimulation().configureCalls[0].commandLine;
    EXPECT_EQ(commandLine.substr(commandLine.size() - 22), L" REBOOT=ReallySuppress");
}

TEST_F(RunLog, QuietRunsLogTheBoxesTheyDidNotShowAndAGivenLogIsAppended) {
    TheSimulation().products.clear();
    const fs::path given = scratch_ / "given.log";
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(Run({L"/q", L"/log", testing_support::Wide(given.string())}), 1642);
    }
    EXPECT_TRUE(TheSimulation().shownBoxes.empty());
    EXPECT_TRUE(DefaultLogs().empty()) << "/log replaces the default place";
    const std::string log = Read(given);
    EXPECT_NE(log.find("box 307, language 1033, \"Installation Error\": \"The service pack could "
                       "not be installed because the expected Lunmere product could not be "
                       "located on your computer.\\nMake sure"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("; not shown: quiet\r\n"), std::string::npos);
    std::size_t ends = 0;
    for (std::size_t at = 0; (at = log.find("exit code 1642: no target product is installed;",
                                            at)) != std::string::npos;
         ++at) {
        ++ends;
    }
    EXPECT_EQ(ends, 2u) << "two runs, one file";
}

TEST_F(RunLog, APlaceThatCannotBeUsedSendsTheLogToTheDefaultPlaceWhichSaysWhy) {
    fs::create_directory(scratch_ / "folder");
    const std::string tooLong = (scratch_ / std::string(300, 'x')).string() + ".log";
    // Links a user may plant for a run as SYSTEM: to a folder, to a file, and a second name.
    fs::create_directory(scratch_ / "system");
    std::ofstream(scratch_ / "system" / "victim") << "keep";
    fs::create_directory_symlink(scratch_ / "system", scratch_ / "junction");
    fs::create_symlink(scratch_ / "system" / "victim", scratch_ / "linked.log");
    fs::create_hard_link(scratch_ / "system" / "victim", scratch_ / "hard.log");
    const struct {
        std::string asked;
        const char* error;
    } rows[] = {
        {(scratch_ / "missing" / "run.log").string(), "(error 3)"},
        {(scratch_ / "folder").string(), "(error 31)"}, // EISDIR; Windows answers 5
        {tooLong, "(error 206)"},
        {(scratch_ / "junction" / "new.log").string(), "(error 681)"},
        {(scratch_ / "junction" / "victim").string(), "(error 681)"},
        {(scratch_ / "linked.log").string(), "(error 681)"},
        {(scratch_ / "hard.log").string(), "(error 681)"},
    };
    for (const auto& row : rows) {
        for (const fs::path& log : DefaultLogs()) {
            fs::remove(log);
        }
        TheSimulation().installerLogs.clear();
        EXPECT_EQ(Run({L"/q", L"/log", testing_support::Wide(row.asked)}), 0) << row.asked;
        const std::vector<fs::path> logs = DefaultLogs();
        ASSERT_EQ(logs.size(), 1u) << row.asked;
        const std::string log = Read(logs[0]);
        const std::string first = log.substr(24, log.find("\r\n") - 24);
        EXPECT_EQ(first, "the run log cannot go where /log asks, \"" + row.asked + "\" " +
                             row.error + ": it is here instead");
        EXPECT_EQ(TheSimulation().installerLogs.size(), 1u) << "Windows Installer's log beside it";
    }
    EXPECT_EQ(Read(scratch_ / "system" / "victim"), "keep") << "nothing appended through a link";
    EXPECT_FALSE(fs::exists(scratch_ / "system" / "new.log")) << "nor made";
    // An /e job without /log keeps none.
    for (const fs::path& log : DefaultLogs()) {
        fs::remove(log);
    }
    EXPECT_EQ(Run({L"/e", testing_support::Wide((scratch_ / "x.msp").string())}), 0);
    EXPECT_TRUE(DefaultLogs().empty());
}

TEST_F(RunLog, ARelativeLogIsMadeFullAndInstallerLogsOfRunsSharingItGoToTheDefaultPlace) {
    const fs::path previous = fs::current_path();
    fs::current_path(scratch_);
    fs::create_directory("sub");
    for (int run = 0; run < 3; ++run) {
        EXPECT_EQ(Run({L"/q", L"/log", L"sub/rel.log"}), 0);
    }
    fs::current_path(previous);
    const std::string full = (scratch_ / "sub" / "rel").string();
    const std::string log = Read(full + ".log");
    EXPECT_NE(log.find("run log: \"" + full + ".log\"\r\n"), std::string::npos);
    // The product was patched once; the simulated one stays at its version, so all three apply.
    // Windows Installer opens its log by path: in the run's temporary folder, not the /log one.
    const std::vector<std::wstring>& installerLogs = TheSimulation().installerLogs;
    ASSERT_EQ(installerLogs.size(), 3u);
    const std::regex name(R"(corvath-sp-8\.2\.0\.5-\d{8}-\d{6}\.installer(-[23])?\.log)");
    for (const std::wstring& installerLog : installerLogs) {
        const fs::path path(platform::Utf8(installerLog));
        EXPECT_EQ(path.parent_path(), scratch_);
        EXPECT_TRUE(std::regex_match(path.filename().string(), name)) << path;
        EXPECT_TRUE(fs::exists(path));
        EXPECT_NE(log.find("Windows Installer's verbose log: \"" + path.string() + "\""),
                  std::string::npos);
    }
    EXPECT_NE(installerLogs[0], installerLogs[1]);
    EXPECT_NE(installerLogs[1], installerLogs[2]);
}

// What a user who may write in the /log folders can do to them while a run as SYSTEM opens its
// log there, at each step: no write and no file reaches anything but the file the path names.
TEST_F(RunLog, FoldersChangedWhileTheLogOpensLeadNoWriteElsewhere) {
    using platform::host::MakeJunctionInPlace;
    using platform::host::RenameAsAnotherProcess;
    fs::create_directory(scratch_ / "system");
    std::ofstream(scratch_ / "system" / "run.log") << "keep";
    const std::wstring system = testing_support::Wide((scratch_ / "system").string());
    const fs::path logs = scratch_ / "logs";
    const fs::path sp = logs / "sp";
    const std::wstring asked = testing_support::Wide((sp / "run.log").string());
    // The default log's first line, and the file removed for the next case.
    auto takeFirstLine = [this] {
        const std::vector<fs::path> defaults = DefaultLogs();
        if (defaults.size() != 1) {
            return std::string("no log in the default place");
        }
        const std::string log = Read(defaults[0]);
        fs::remove(defaults[0]);
        return log.substr(24, log.find("\r\n") - 24);
    };
    const std::string refused = "the run log cannot go where /log asks, \"" +
                                (sp / "run.log").string() + "\" (error 681): it is here instead";

    // The innermost folder, held and still empty, becomes a junction as the file is opened in it.
    fs::create_directories(sp);
    TheSimulation().beforeOpenIn = [&](const std::wstring&, const std::wstring& name) {
        if (name == L"run.log") {
            EXPECT_TRUE(MakeJunctionInPlace(testing_support::Wide(sp.string()), system));
        }
    };
    EXPECT_EQ(Run({L"/q", L"/log", asked}), 0);
    EXPECT_EQ(takeFirstLine(), refused);
    EXPECT_EQ(Read(scratch_ / "system" / "run.log"), "keep");
    EXPECT_EQ(fs::file_size(logs / "sp.object" / "run.log"), 0u) << "made where it was, unwritten";

    // A folder not yet held is swapped for a link just before it is opened: opened as the link.
    // (Each case's folders are kept, so that none of their identities is given to the next.)
    fs::rename(logs, scratch_ / "first");
    fs::create_directories(sp);
    TheSimulation().beforeOpenIn = [&](const std::wstring&, const std::wstring& name) {
        if (name == L"sp") {
            EXPECT_TRUE(RenameAsAnotherProcess(testing_support::Wide(sp.string()),
                                               testing_support::Wide(sp.string() + ".old")));
            fs::create_directory_symlink(scratch_ / "system", sp);
        }
    };
    EXPECT_EQ(Run({L"/q", L"/log", asked}), 0);
    EXPECT_EQ(takeFirstLine(), refused);
    EXPECT_EQ(Read(scratch_ / "system" / "run.log"), "keep");
    EXPECT_FALSE(fs::exists(sp.string() + ".old/run.log"));

    // Once held, the folders can be neither renamed nor deleted until the run ends.
    fs::rename(logs, scratch_ / "second");
    fs::create_directories(sp);
    TheSimulation().beforeOpenIn = nullptr;
    int tried = 0;
    TheSimulation().afterSnapshot = [&](platform::host::Simulation&) {
        for (const fs::path& folder : {logs, sp}) {
            ++tried;
            EXPECT_FALSE(RenameAsAnotherProcess(testing_support::Wide(folder.string()),
                                                testing_support::Wide(folder.string() + ".x")));
        }
    };
    EXPECT_EQ(Run({L"/q", L"/log", asked}), 0);
    EXPECT_GT(tried, 0);
    EXPECT_TRUE(DefaultLogs().empty()) << "the log where /log asked";
    EXPECT_NE(Read(sp / "run.log").find("exit code 0"), std::string::npos);
    EXPECT_TRUE(RenameAsAnotherProcess(testing_support::Wide(sp.string()),
                                       testing_support::Wide(sp.string() + ".x")))
        << "let go of at the end";
}

TEST_F(RunLog, DefaultNamesCountOnPastNine) {
    // Every name up to -12 taken, for this second and the next two.
    const std::time_t now = std::time(nullptr);
    for (std::time_t second = now; second < now + 3; ++second) {
        std::tm local{};
        localtime_r(&second, &local);
        const std::wstring name =
            app::DefaultLogName(L"8.2.0.5", {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                             local.tm_hour, local.tm_min, local.tm_sec, 0});
        const std::string stem(name.begin(), name.end() - 4);
        std::ofstream(scratch_ / (stem + ".log"));
        for (int n = 2; n <= 12; ++n) {
            std::ofstream(scratch_ / (stem + "-" + std::to_string(n) + ".log"));
        }
    }
    EXPECT_EQ(Run({L"/q"}), 0);
    std::size_t thirteenth = 0;
    for (const auto& entry : fs::directory_iterator(scratch_)) {
        if (entry.path().filename().string().ends_with("-13.log") && fs::file_size(entry) > 0) {
            ++thirteenth;
        }
    }
    EXPECT_EQ(thirteenth, 1u);
}

TEST_F(RunLog, HelpShowsTheSwitchesEvenWhenQuietAndDoesNothingElse) {
    for (const wchar_t* help : {L"/?", L"/h"}) {
        TheSimulation().shownBoxes.clear();
        EXPECT_EQ(Run({L"/q", help}), 0);
        ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u);
        const auto& box = TheSimulation().shownBoxes[0];
        EXPECT_EQ(box.caption, L"Corvath Service Pack");
        EXPECT_EQ(box.type, 0x50040u);
        EXPECT_EQ(box.text, app::HelpText());
        EXPECT_NE(box.text.find(L"\n/uninstall "), std::wstring::npos) << "the second part too";
    }
    EXPECT_TRUE(TheSimulation().configureCalls.empty());
    EXPECT_TRUE(fs::is_empty(scratch_)) << "no copy, no log";
}

TEST(RunLogText, NamesQuotingAndUtf8) {
    EXPECT_EQ(app::DefaultLogName(L"8.2.0.5", {2026, 3, 4, 5, 6, 7, 890}),
              L"corvath-sp-8.2.0.5-20260304-050607.log");
    EXPECT_EQ(runlog::Quoted(L"a\"b\\c\r\nd"), L"\"a\\\"b\\c\\r\\nd\"");
    EXPECT_EQ(platform::Utf8(L"\u00e9\u65e5\U0001F600"), "\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80");
}

} // namespace
