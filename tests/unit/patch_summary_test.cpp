#include "app/jobs.h"
#include "messages/presenter.h"
#include "payload/patch_summary.h"
#include "platform/host/simulation.h"
#include "test_support.h"

namespace {

using platform::host::TheSimulation;

class PatchSummary : public testing_support::FreshProcess {
  protected:
    static std::wstring Sample(const char* name) {
        return testing_support::Wide(std::string(CORVATH_SAMPLE_DIR) + "/" + name);
    }
};

TEST_F(PatchSummary, TheSampleListIsReadAtTheFirstAttempt) {
    std::wstring targets;
    ASSERT_TRUE(payload::ReadPatchTargets(Sample("corvath-sp-sample.msp"), targets));
    EXPECT_EQ(targets.size(), 857u);
    EXPECT_EQ(TheSimulation().summaryReads, std::vector<std::uint32_t>{2048});
    for (std::size_t at = 0; at < targets.size(); at += 39) {
        EXPECT_EQ(targets.substr(at + 9, 6), L"-4F3E-") << "code at " << at;
    }
}

TEST_F(PatchSummary, LongListsTakeExactlyOneMoreAttemptOfTheirLengthPlusOne) {
    struct Row {
        const char* file;
        std::size_t length;
        std::vector<std::uint32_t> reads;
    };
    const Row rows[] = {
        {"edge-pid7-2047.msp", 2047, {2048}},
        {"edge-pid7-2048.msp", 2048, {2048, 2049}},
        {"edge-pid7-10000.msp", 10000, {2048, 10001}},
    };
    for (const Row& row : rows) {
        TheSimulation().summaryReads.clear();
        std::wstring targets;
        ASSERT_TRUE(payload::ReadPatchTargets(Sample(row.file), targets)) << row.file;
        EXPECT_EQ(targets.size(), row.length) << row.file;
        EXPECT_EQ(TheSimulation().summaryReads, row.reads) << row.file;
    }
}

TEST_F(PatchSummary, AMissingTargetListReadsAsEmpty) {
    std::wstring targets = L"old";
    ASSERT_TRUE(payload::ReadPatchTargets(Sample("edge-no-pid7.msp"), targets));
    EXPECT_TRUE(targets.empty());
}

TEST_F(PatchSummary, WhatIsNotAPatchLeavesTheTargetsUntouched) {
    for (const char* file : {"edge-not-cfb.msp", "edge-truncated.msp", "no-such-file.msp"}) {
        std::wstring targets = L"old";
        EXPECT_FALSE(payload::ReadPatchTargets(Sample(file), targets)) << file;
        EXPECT_EQ(targets, L"old") << file;
    }
    std::wstring targets = L"old";
    EXPECT_FALSE(payload::ReadPatchTargets(L"", targets));
    EXPECT_EQ(targets, L"old");
}

TEST_F(PatchSummary, APathWhoseFullFormDoesNotFitIsNeverOpened) {
    const std::wstring deep = scratchWide_ + L"/" + std::wstring(300, L'd') + L"/x.msp";
    std::wstring targets = L"old";
    EXPECT_FALSE(payload::ReadPatchTargets(deep, targets));
    EXPECT_TRUE(TheSimulation().summaryReads.empty());
    EXPECT_EQ(targets, L"old");
}

TEST_F(PatchSummary, TheProductListIsShownEvenWhenQuietAndItsCopyIsDeleted) {
    messages::SetQuiet(true);
    app::ShowPatchTargets();
    ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u);
    EXPECT_EQ(TheSimulation().shownBoxes[0].caption, L"List of Products");
    EXPECT_EQ(TheSimulation().shownBoxes[0].type, 0x00050000u);
    EXPECT_EQ(TheSimulation().shownBoxes[0].text.size(), 857u);
    EXPECT_FALSE(std::filesystem::exists(scratch_ / "MSP2"));
}

TEST_F(PatchSummary, AFolderNamedBeyondAsciiHoldsTheCopyAndItsListIsRead) {
    // As the environment hands it over: UTF-8 bytes.
    const std::filesystem::path folder = scratch_ / "\xC3\x9C"
                                                    "bergabe-\xE6\x97\xA5\xE6\x9C\xAC";
    std::filesystem::create_directories(folder);
    setenv("TMP", folder.c_str(), 1);
    std::wstring targets;
    ASSERT_TRUE(payload::ReadOwnPatchTargets(targets));
    EXPECT_EQ(targets.size(), 857u);
    EXPECT_TRUE(std::filesystem::is_empty(folder)) << "the copy is gone";
}

TEST_F(PatchSummary, AnUnusableTemporaryFolderShowsAnEmptyList) {
    setenv("TMP", std::string(1100, 'd').c_str(), 1);
    app::ShowPatchTargets();
    ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u);
    EXPECT_TRUE(TheSimulation().shownBoxes[0].text.empty());
}

} // namespace
