// corvath-patch-record run as a release engineer would run it.
#include "sample_reading.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace corvath::tests;

namespace {

struct RecordTexts {
    std::string title;
    std::string description;
};

RecordTexts texts_of_sample_record() {
    const auto bytes = read_file(sample_path("record206.txt"));
    RecordTexts texts;
    if (!bytes)
        return texts;
    for (std::string line : split(std::string(bytes->begin(), bytes->end()), '\n')) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("PatchTitle=", 0) == 0)
            texts.title = line.substr(11);
        if (line.rfind("PatchDesc=", 0) == 0)
            texts.description = line.substr(10);
    }
    return texts;
}

CommandResult run_record_tool(const std::string& msp, const std::string& title,
                              const std::string& description, const std::string& out = "",
                              const std::string& version = "8.2.0.5") {
    std::string command = shell_quote(CORVATH_RECORD_TOOL) + " --msp " + shell_quote(msp) +
                          (version.empty() ? "" : " --version " + version) + " --title " +
                          shell_quote(title) + " --desc " + shell_quote(description);
    if (!out.empty())
        command += " --out " + shell_quote(out);
    return run_command(command + " 2>/dev/null");
}

std::string scratch_file(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() / "corvath-record-tool-test";
    std::filesystem::create_directories(dir);
    const auto path = dir / name;
    std::filesystem::remove(path);
    return path.string();
}

} // namespace

TEST(RecordTool, DerivesTheBuildersRecordFromTheSample) {
    const RecordTexts texts = texts_of_sample_record();
    ASSERT_EQ(texts.title.size(), 38u);
    const auto expected = read_file(sample_path("record206.txt"));
    ASSERT_TRUE(expected);

    const auto printed =
        run_record_tool(sample_path("corvath-sp-sample.msp"), texts.title, texts.description);
    EXPECT_EQ(printed.status, 0);
    EXPECT_EQ(printed.output, std::string(expected->begin(), expected->end()));

    const std::string out = scratch_file("record.txt");
    EXPECT_EQ(
        run_record_tool(sample_path("corvath-sp-sample.msp"), texts.title, texts.description, out)
            .status,
        0);
    EXPECT_EQ(read_file(out), expected);
}

TEST(RecordTool, WithoutAVersionTakesTheOneThePatchUpgradesTo) {
    const RecordTexts texts = texts_of_sample_record();
    const auto expected = read_file(sample_path("record206.txt"));
    ASSERT_TRUE(expected);
    const auto printed = run_record_tool(sample_path("corvath-sp-sample.msp"), texts.title,
                                         texts.description, "", "");
    EXPECT_EQ(printed.status, 0);
    EXPECT_EQ(printed.output, std::string(expected->begin(), expected->end()));
}

TEST(RecordTool, TakesTheFirstTargetEvenWhenAnEntryIsEmpty) {
    const auto printed = run_record_tool(sample_path("edge-empty-entry.msp"), "T", "D");
    ASSERT_EQ(printed.status, 0);
    EXPECT_EQ(printed.output.substr(0, 52), "ProductCode=" + target_codes()[0] + "\r\n");
}

TEST(RecordTool, RefusesTextsThatWouldBreakTheRecord) {
    const std::string msp = sample_path("corvath-sp-sample.msp");
    const std::pair<const char*, const char*> texts[] = {
        {"Title\nPatchSize=1", "D"},
        {"T", "line one\r\nline two"},
        {"T", "caf\xC3\xA9"},
        {"Servi\xC3\xA7o", "D"},
    };
    for (const auto& [title, description] : texts) {
        const std::string out = scratch_file("refused.txt");
        const auto result = run_record_tool(msp, title, description, out);
        EXPECT_NE(result.status, 0) << title << " / " << description;
        EXPECT_FALSE(std::filesystem::exists(out)) << title << " / " << description;
    }
}

TEST(RecordTool, RefusesPackagesItCannotReadARecordFrom) {
    for (const char* name :
         {"edge-not-cfb.msp", "edge-truncated.msp", "edge-no-pid7.msp", "does-not-exist.msp"}) {
        const auto result = run_record_tool(sample_path(name), "T", "D");
        EXPECT_NE(result.status, 0) << name;
        EXPECT_EQ(result.output, "") << name;
    }
}

TEST(RecordTool, RejectsBadArguments) {
    const std::string tool = shell_quote(CORVATH_RECORD_TOOL);
    EXPECT_EQ(run_command(tool + " 2>/dev/null").status, 2);
    EXPECT_EQ(run_command(tool + " --msp x --bogus y 2>/dev/null").status, 2);
    EXPECT_EQ(run_command(tool + " --msp x --version 1.2.3.4 --title t 2>/dev/null").status, 2);
    EXPECT_EQ(run_command(tool + " --version 1.2.3.4 --title t --desc d 2>/dev/null").status, 2);
}
