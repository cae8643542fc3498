// The run log in CMTrace's line format: the shape of a line, what a message may not hold, the
// time zone's bias with one sign, the types; and a whole run's log in that style.
#include "app/entry.h"
#include "app/run_options.h"
#include "platform/host/simulation.h"
#include "runlog/cmtrace.h"
#include "test_support.h"

#include <regex>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using platform::host::TheSimulation;
using runlog::CmTraceLine;
using runlog::Severity;

constexpr platform::LocalTime kAt{2026, 12, 9, 7, 5, 3, 42};

// A line as CMTrace parses it: the message holds no "]LOG]!>", the bias one sign and digits.
const std::regex
    kLine(R"(<!\[LOG\[((?:(?!\]LOG\]!>)[^\r\n])*)\]LOG\]!><time="\d\d:\d\d:\d\d\.\d{3})"
          R"([+-]\d+" date="\d\d-\d\d-\d{4}" component="corvath-sp" context="" )"
          R"(type="[123]" thread="\d+" file="">\r)");

TEST(CmTrace, ALineHasCMTracesShapeWithOneSignBeforeTheBias) {
    struct Row {
        int bias;
        const char* time;
    };
    for (const Row& row : {Row{-60, "07:05:03.042-60"}, Row{300, "07:05:03.042+300"},
                           Row{0, "07:05:03.042+0"}, Row{-330, "07:05:03.042-330"}}) {
        EXPECT_EQ(CmTraceLine("the pack starts", kAt, row.bias, Severity::Info, 4242),
                  std::string("<![LOG[the pack starts]LOG]!><time=\"") + row.time +
                      "\" date=\"12-09-2026\" component=\"corvath-sp\" context=\"\" type=\"1\" "
                      "thread=\"4242\" file=\"\">\r\n")
            << row.bias;
    }
    EXPECT_NE(CmTraceLine("x", kAt, 0, Severity::Warning, 1).find(" type=\"2\" "),
              std::string::npos);
    EXPECT_NE(CmTraceLine("x", kAt, 0, Severity::Failure, 1).find(" type=\"3\" "),
              std::string::npos);
}

TEST(CmTrace, AMessageCannotEndItselfNorBreakItsLine) {
    const std::pair<const char*, const char*> rows[] = {
        {"a]LOG]!><time=\"forged\">", "a]LOG]!&gt;<time=\"forged\">"},
        {"]LOG]!>]LOG]!>", "]LOG]!&gt;]LOG]!&gt;"},
        {"line one\r\nline two", "line one\\r\\nline two"},
        {"tab\there", "tab\\there"},
        {"bell\x07 del\x7F", "bell\\x07 del\\x7F"},
        {"]LOG]!", "]LOG]!"},
        {"Gr\xC3\xBC\xC3\x9F"
         "e",
         "Gr\xC3\xBC\xC3\x9F"
         "e"}, // UTF-8 stays as it is
    };
    for (const auto& [message, kept] : rows) {
        EXPECT_EQ(runlog::CmTraceMessage(message), kept) << message;
        const std::string line = CmTraceLine(message, kAt, -60, Severity::Info, 1);
        EXPECT_TRUE(std::regex_match(line.substr(0, line.size() - 1), kLine)) << line;
    }
}

class CmTraceRun : public testing_support::FreshProcess {};

TEST_F(CmTraceRun, EveryLineOfARunsLogHasTheShapeAndFailuresTheirType) {
    TheSimulation().products[L"{6513270E-4F3E-0D37-F2A7-4DE452E6B438}"].properties = {
        {L"VersionString", L"8.0.0.0"}, {L"ProductName", L"Corvath"}, {L"Language", L"1031"}};
    const fs::path log = scratch_ / "cm.log";
    TheSimulation().commandLine = {L"corvath-sp.exe", L"/q",   L"/logstyle",
                                   L"CMTrace",        L"/log", testing_support::Wide(log.string())};
    EXPECT_EQ(app::Entry(), 1642);
    const std::vector<char> bytes = testing_support::ReadFileBytes(log);
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    int count = 0;
    std::string last;
    for (std::string line; std::getline(lines, line); ++count) {
        EXPECT_TRUE(std::regex_match(line, kLine)) << line;
        last = line;
    }
    EXPECT_GT(count, 10);
    EXPECT_NE(last.find("exit code 1642"), std::string::npos) << last;
    EXPECT_NE(last.find(" type=\"3\" "), std::string::npos) << "a failure: " << last;
}

TEST(CmTrace, TheSwitchTakesCmtraceOrText) {
    struct Row {
        std::vector<std::wstring> arguments;
        runlog::LogStyle style;
        std::vector<std::wstring> refused;
    };
    const Row rows[] = {
        {{L"/logstyle", L"cmtrace"}, runlog::LogStyle::CmTrace, {}},
        {{L"/LOGSTYLE", L"CMTrace"}, runlog::LogStyle::CmTrace, {}},
        {{L"/logstyle", L"text"}, runlog::LogStyle::Text, {}},
        {{L"/logstyle", L"xml"}, runlog::LogStyle::Text, {L"/logstyle xml"}},
        {{L"/logstyle"}, runlog::LogStyle::Text, {L"/logstyle"}},
        {{L"/logstyle", L"/q"}, runlog::LogStyle::Text, {L"/logstyle"}},
        {{}, runlog::LogStyle::Text, {}},
    };
    for (const Row& row : rows) {
        std::vector<std::wstring> arguments = row.arguments;
        arguments.insert(arguments.begin(), L"corvath-sp.exe");
        app::RunOptions options;
        app::ParseArguments(arguments, options);
        EXPECT_EQ(options.logStyle, row.style) << testing::PrintToString(row.arguments);
        EXPECT_EQ(options.refused, row.refused) << testing::PrintToString(row.arguments);
    }
}

} // namespace
