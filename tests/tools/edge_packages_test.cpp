// The edge packages: summary property 7 around the reader's buffer sizes, absent, with an
// empty entry; and files that are no patch at all.
#include "sample_reading.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace corvath::tests;

namespace {

std::optional<std::map<std::uint32_t, TypedValue>> summary_of(const std::string& file) {
    const auto stream = read_stream(sample_path(file), {"\005SummaryInformation"});
    if (!stream)
        return std::nullopt;
    return parse_property_set(*stream);
}

} // namespace

TEST(EdgePackages, TargetListsHaveTheirExactLengths) {
    const auto codes = target_codes();
    for (const std::size_t length : {2047u, 2048u, 10000u}) {
        const std::string file = "edge-pid7-" + std::to_string(length) + ".msp";
        const auto summary = summary_of(file);
        ASSERT_TRUE(summary) << file;
        ASSERT_TRUE(summary->count(7)) << file;
        const auto& targets = std::get<std::string>(summary->at(7).value);
        EXPECT_EQ(summary->at(7).type, 30u) << file;
        EXPECT_EQ(targets.size(), length) << file;
        // Still a usable patch: the real targets come first and the patch code is there.
        const auto entries = split(targets, ';');
        ASSERT_GT(entries.size(), codes.size()) << file;
        EXPECT_TRUE(std::equal(codes.begin(), codes.end(), entries.begin())) << file;
        for (const std::string& entry : entries)
            EXPECT_FALSE(entry.empty()) << file;
        EXPECT_EQ(std::get<std::string>(summary->at(9).value).substr(0, 38),
                  "{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}");
    }
}

TEST(EdgePackages, NoPid7LeavesOnlyTheTargetListOut) {
    const auto summary = summary_of("edge-no-pid7.msp");
    ASSERT_TRUE(summary);
    EXPECT_FALSE(summary->count(7));
    EXPECT_TRUE(summary->count(8));
    EXPECT_TRUE(summary->count(9));
}

TEST(EdgePackages, EmptyEntrySitsBetweenTwoRealCodes) {
    const auto summary = summary_of("edge-empty-entry.msp");
    ASSERT_TRUE(summary);
    const auto codes = target_codes();
    EXPECT_EQ(std::get<std::string>(summary->at(7).value), codes[0] + ";;" + codes[1]);
}

TEST(EdgePackages, BrokenFilesAreNotReadableAsPatches) {
    EXPECT_FALSE(summary_of("edge-not-cfb.msp"));
    EXPECT_FALSE(summary_of("edge-truncated.msp"));

    const auto sample = read_file(sample_path("corvath-sp-sample.msp"));
    const auto truncated = read_file(sample_path("edge-truncated.msp"));
    ASSERT_TRUE(sample && truncated);
    ASSERT_LT(truncated->size(), sample->size());
    EXPECT_TRUE(std::equal(truncated->begin(), truncated->end(), sample->begin()));
    const auto not_cfb = read_file(sample_path("edge-not-cfb.msp"));
    ASSERT_TRUE(not_cfb && not_cfb->size() >= 8);
    EXPECT_NE((*not_cfb)[0], 0xD0);
}
