// The versions a pack takes from its patch's transforms, what the build says about them, and the
// detection facts and script it writes, over the sample's packages and made-up transforms.
#include "msp/pack_check.h"
#include "msp/pack_detection.h"
#include "msp/pack_versions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

using namespace corvath::msp;

namespace {

std::filesystem::path sample(const std::string& name) {
    return std::filesystem::path(CORVATH_SAMPLE_DIR) / name;
}

std::vector<std::string> lines_of(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TransformVersions transform(const std::string& name, const std::string& from, const std::string& to,
                            const std::string& to_product = "{B}") {
    TransformVersions versions;
    versions.name = name;
    versions.readable = true;
    versions.from_product = "{A}";
    versions.from_version = from;
    versions.to_product = to_product == "{B}" ? "{A}" : to_product;
    versions.to_version = to;
    versions.validation_flags = 0x0922; // as real tools write it: no note
    return versions;
}

bool mentions(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(text) != std::string::npos;
    });
}

TEST(TransformVersions, EveryTransformOfTheSamplesNamesItsVersions) {
    const PackCheck check = check_pack_patch(sample("corvath-sp-sample.msp"));
    ASSERT_FALSE(check.refusal) << *check.refusal;
    const std::vector<std::string> codes = lines_of(CORVATH_SAMPLE_TARGETS);
    ASSERT_EQ(check.transforms.size(), 2 * codes.size()) << "a pair for every target";
    for (std::size_t i = 0; i < check.transforms.size(); ++i) {
        const TransformVersions& t = check.transforms[i];
        const std::string& code = codes[i / 2];
        EXPECT_EQ(t.name.rfind(i % 2 == 0 ? "Corvath81To82_" : "#Corvath81To82_", 0), 0u) << i;
        EXPECT_TRUE(t.readable) << t.name;
        EXPECT_EQ(t.from_product, code) << t.name;
        EXPECT_EQ(t.to_product, code) << t.name;
        // "#X" names the version "X" leaves, twice, as real tools write it.
        EXPECT_EQ(t.from_version, i % 2 == 0 ? "8.1.0.4" : "8.2.0.5") << t.name;
        EXPECT_EQ(t.to_version, "8.2.0.5") << t.name;
        EXPECT_EQ(t.upgrade_code, "{3B7E9A10-2C4D-4E5F-8A9B-1C2D3E4F5A6B}") << t.name;
    }
    // The sample's versions come out of its patch as they always were given.
    EXPECT_EQ(check.versions.target, "8.2.0.5");
    EXPECT_EQ(check.versions.applicable, "8.1.0.4,");
    EXPECT_FALSE(check.versions.small_update);
    EXPECT_TRUE(check.warnings.empty());
    EXPECT_TRUE(check.notes.empty());
}

TEST(TransformVersions, ASmallUpdateOfTwoThreePartBaselinesLeavesEachAlone) {
    const PackCheck check = check_pack_patch(sample("small-update.msp"));
    ASSERT_FALSE(check.refusal) << *check.refusal;
    const std::pair<const char*, const char*> pairs[] = {
        {"CorvathDataFix_01", "1.1.1"},
        {"#CorvathDataFix_01", "1.1.1"},
        {"CorvathDataFix_01_211", "2.1.1"},
        {"#CorvathDataFix_01_211", "2.1.1"},
    };
    ASSERT_EQ(check.transforms.size(), std::size(pairs));
    for (std::size_t i = 0; i < std::size(pairs); ++i) {
        EXPECT_EQ(check.transforms[i].name, pairs[i].first);
        EXPECT_EQ(check.transforms[i].from_version, pairs[i].second) << pairs[i].first;
        EXPECT_EQ(check.transforms[i].to_version, pairs[i].second) << pairs[i].first;
    }
    // The highest stands for both, so that the run decides by the patch's state.
    EXPECT_EQ(check.versions.target, "2.1.1.0");
    EXPECT_EQ(check.versions.applicable, "1.1.1.0,2.1.1.0,");
    EXPECT_TRUE(check.versions.small_update);
    EXPECT_FALSE(check.detection.by_version);
    ASSERT_EQ(check.notes.size(), 1u);
    EXPECT_EQ(check.notes[0].find("the patch leaves the versions as they are (1.1.1.0, 2.1.1.0): "
                                  "the pack is a small update and decides by Windows Installer's "
                                  "patch state"),
              0u);
    EXPECT_TRUE(check.warnings.empty());
}

TEST(PackVersions, OptionsThatDifferFromThePatchAreUsedWithOneLineOfWarning) {
    struct Row {
        VersionOptions options;
        std::string target;
        std::string applicable;
        bool warned;
    };
    const Row rows[] = {
        {{"", ""}, "8.2.0.5", "8.1.0.4,", false},
        {{"8.2.0.5", "8.1.0.4,"}, "8.2.0.5", "8.1.0.4,", false},
        {{"8.2.0.05", ""}, "8.2.0.5", "8.1.0.4,", false}, // compared as versions
        {{"8.2.0.6", ""}, "8.2.0.6", "8.1.0.4,", true},
        {{"", "8.1.0.4,8.1.0.5,"}, "8.2.0.5", "8.1.0.4,8.1.0.5,", true},
        {{"8.2.0.6", "8.1.0.3,"}, "8.2.0.6", "8.1.0.3,", true},
    };
    for (const Row& row : rows) {
        const PackCheck check = check_pack_patch(sample("other-patch.msp"), row.options);
        ASSERT_FALSE(check.refusal) << row.options.target << "/" << row.options.applicable;
        EXPECT_EQ(check.versions.target, row.target) << row.options.target;
        EXPECT_EQ(check.versions.applicable, row.applicable) << row.options.applicable;
        // other-patch.msp always warns that it cannot be removed; the versions add one line.
        const auto versions_lines =
            std::count_if(check.warnings.begin(), check.warnings.end(), [](const std::string& w) {
                return w.find("from the patch's own versions: its transforms bring 8.1.0.4 to "
                              "8.2.0.5; the pack uses the options as given") != std::string::npos;
            });
        EXPECT_EQ(versions_lines, row.warned ? 1 : 0)
            << row.options.target << "/" << row.options.applicable;
    }
}

TEST(PackVersions, WhatTheTransformsSayDecidesOrStopsTheBuild) {
    struct Row {
        const char* what;
        std::vector<TransformVersions> transforms;
        VersionOptions options;
        std::string refusal; // a part of it; empty: none
        std::string target;
        std::string applicable;
        std::string warning; // a part of one; empty: none
        bool small_update = false;
    };
    TransformVersions unreadable;
    unreadable.name = "Broken";
    // what, transforms, options, refusal (a part), target, list, warning (a part), small update
    const Row rows[] = {
        {"three parts read as four",
         {transform("T", "1.1.1", "1.2")},
         {},
         "",
         "1.2.0.0",
         "1.1.1.0,",
         "",
         false},
        {"several baselines, one target",
         {transform("T1", "8.1.0.4", "8.2.0.5"), transform("T2", "8.0.9.3", "8.2.0.5"),
          transform("#T2", "8.2.0.5", "8.2.0.5")},
         {},
         "",
         "8.2.0.5",
         "8.1.0.4,8.0.9.3,",
         "",
         false},
        {"patch transforms first: never read for the versions",
         {transform("#T", "9.9", "9.9"), transform("T", "8.1.0.4", "8.2.0.5"),
          transform("#U", "1.0", "3.0")},
         {},
         "",
         "8.2.0.5",
         "8.1.0.4,",
         "",
         false},
        {"only patch transforms",
         {transform("#T", "8.2.0.5", "8.2.0.5")},
         {},
         "lists only patch transforms",
         "",
         "",
         "",
         false},
        {"a hotfix of 1.0.2 that also brings 1.0.1 there: a small update of both",
         {transform("T1", "1.0.2", "1.0.2"), transform("T2", "1.0.1", "1.0.2")},
         {},
         "",
         "1.0.2.0",
         "1.0.2.0,1.0.1.0,",
         "",
         true},
        {"small updates of two baselines",
         {transform("T1", "1.0.1", "1.0.1"), transform("T2", "1.0.0.0", "1.0.0.0")},
         {},
         "",
         "1.0.1.0",
         "1.0.1.0,1.0.0.0,",
         "",
         true},
        {"a small update beside an upgrade elsewhere",
         {transform("T1", "1.0.1", "1.0.1"), transform("T2", "1.0.0.0", "1.0.2")},
         {},
         "different versions (1.0.1.0, 1.0.2.0), and a pack brings one: one pack per target "
         "version",
         "",
         "",
         "",
         false},
        {"transforms that disagree",
         {transform("T1", "1.0", "1.1"), transform("T2", "1.0", "1.2")},
         {},
         "bring products to different versions (1.1.0.0, 1.2.0.0)",
         "",
         "",
         "",
         false},
        {"transforms that disagree, options given",
         {transform("T1", "1.0", "1.1"), transform("T2", "1.0", "1.2")},
         {"1.2.0.0", "1.0.0.0,"},
         "",
         "1.2.0.0",
         "1.0.0.0,",
         "--target-version 1.2.0.0 differs",
         false},
        {"disagreeing targets, only the list given",
         {transform("T1", "1.0", "1.1"), transform("T2", "1.0", "1.2")},
         {"", "1.0.0.0,"},
         "different versions",
         "",
         "",
         "",
         false},
        {"no transform at all", {}, {}, "lists no transform", "", "", "", false},
        {"a transform without versions",
         {unreadable},
         {},
         "\"Broken\" does not say",
         "",
         "",
         "",
         false},
        {"a transform without versions, options given",
         {unreadable},
         {"2.0.0.0", "1.0.0.0,"},
         "",
         "2.0.0.0",
         "1.0.0.0,",
         "do not all say which versions they change",
         false},
        {"a version that is no version",
         {transform("T", "1.1.1.1.1", "1.2")},
         {},
         "does not say",
         "",
         "",
         "",
         false},
        {"a major upgrade",
         {transform("T", "1.0", "2.0", "{C}"), transform("#T", "2.0", "2.0", "{D}")},
         {},
         "",
         "2.0.0.0",
         "1.0.0.0,",
         "changes the product code from {A} to {C} (a major-upgrade patch): Windows Installer "
         "cannot remove such a patch",
         false},
        {"a small update",
         {transform("T", "5.4.3", "5.4.3")},
         {},
         "",
         "5.4.3.0",
         "5.4.3.0,",
         "",
         true},
    };
    for (const Row& row : rows) {
        const PackVersions pack = decide_pack_versions(row.transforms, row.options);
        if (!row.refusal.empty()) {
            ASSERT_TRUE(pack.refusal) << row.what;
            EXPECT_NE(pack.refusal->find(row.refusal), std::string::npos) << *pack.refusal;
            EXPECT_NE(pack.refusal->find("give --target-version and "
                                         "--applicable-versions"),
                      std::string::npos)
                << row.what << ": the line asks for the options";
            continue;
        }
        ASSERT_FALSE(pack.refusal) << row.what << ": " << *pack.refusal;
        EXPECT_EQ(pack.target, row.target) << row.what;
        EXPECT_EQ(pack.applicable, row.applicable) << row.what;
        EXPECT_EQ(pack.small_update, row.small_update) << row.what;
        EXPECT_EQ(pack.notes.size(), row.small_update ? 1u : 0u) << row.what;
        if (row.warning.empty())
            EXPECT_TRUE(pack.warnings.empty()) << row.what << ": " << pack.warnings.front();
        else
            EXPECT_TRUE(mentions(pack.warnings, row.warning)) << row.what;
    }
}

TEST(PackVersions, APatchRefusedForItsVersionsHasNoCode) {
    // other-patch.msp with its transform list spoilt: the checker's last rule refuses it.
    std::ifstream in(sample("other-patch.msp"), std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::size_t list = bytes.find(":Corvath81To82_01");
    ASSERT_NE(list, std::string::npos);
    bytes.replace(list, 17, ":NoSuchTransform_");
    const auto spoilt = std::filesystem::path(testing::TempDir()) / "no-transform.msp";
    std::ofstream(spoilt, std::ios::binary) << bytes;
    const PackCheck check = check_pack_patch(spoilt);
    ASSERT_TRUE(check.refusal);
    EXPECT_EQ(*check.refusal, "summary property 8 names the transform \"NoSuchTransform_\", which "
                              "the patch does not hold");
    EXPECT_EQ(check.patch_code, "") << "a refused patch is never embedded";
    std::filesystem::remove(spoilt);
}

TEST(PackVersions, FourPartsAsTheRunReadsThem) {
    const std::pair<const char*, const char*> rows[] = {
        {"8.2.0.5", "8.2.0.5"},
        {"1.1.1", "1.1.1.0"},
        {"8", "8.0.0.0"},
        {"08.02", "8.2.0.0"},
        {"65535.0", "65535.0.0.0"},
        {"65536", ""},
        {"1.2.3.4.5", ""},
        {"1..2", ""},
        {"", ""},
        {"1.2a", ""},
        {" 1.2", ""},
        {"1.2.", ""},
    };
    for (const auto& [text, four] : rows)
        EXPECT_EQ(four_part_version(text).value_or(""), four) << text;
}

TEST(PackDetection, TheFactsAndTheScriptNameThePacksOwnCodes) {
    const PackCheck check = check_pack_patch(sample("corvath-sp-sample.msp"));
    ASSERT_FALSE(check.refusal);
    const std::string facts = detection_facts(check.detection);
    const std::string script = intune_detection_script(check.detection);
    for (const std::string& code : lines_of(CORVATH_SAMPLE_TARGETS)) {
        EXPECT_NE(facts.find(code), std::string::npos) << code;
        EXPECT_NE(script.find("    '" + code + "'\r\n"), std::string::npos) << code;
    }
    EXPECT_NE(script.find("$patchCode = '{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}'\r\n"),
              std::string::npos);
    EXPECT_NE(facts.find("\r\nPatchCode={5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}\r\n"),
              std::string::npos);
    EXPECT_NE(facts.find("\r\nTargetVersion=8.2.0.5\r\nApplicableVersions=8.1.0.4,\r\n"),
              std::string::npos);
    EXPECT_NE(facts.find("\r\nDetectionByVersion=yes\r\n"), std::string::npos);
    // The same pack gives the same text, and another pack another.
    EXPECT_EQ(script,
              intune_detection_script(check_pack_patch(sample("corvath-sp-sample.msp")).detection));
    const PackCheck small = check_pack_patch(sample("small-update.msp"));
    EXPECT_NE(intune_detection_script(small.detection), script);
    EXPECT_NE(detection_facts(small.detection).find("\r\nDetectionByVersion=no\r\n"),
              std::string::npos);
    EXPECT_EQ(intune_detection_script(small.detection)
                  .find("$productCodes = @(\r\n    '{C3D4E5F6-1111-4B2C-8D3E-4F5A6B7C8D9E}'\r\n)"),
              intune_detection_script(small.detection).find("$productCodes"));
}

// Intune compares the whole output with True: one Boolean, written once, and exit 0 either way.
TEST(PackDetection, TheRequirementScriptAsksForThePacksOwnCodesAndVersions) {
    const PackCheck check = check_pack_patch(sample("corvath-sp-sample.msp"));
    const PackCheck small = check_pack_patch(sample("small-update.msp"));
    ASSERT_FALSE(check.refusal || small.refusal);
    const std::string script = intune_requirement_script(check.detection);
    for (const std::string& code : lines_of(CORVATH_SAMPLE_TARGETS))
        EXPECT_NE(script.find("    '" + code + "'\r\n"), std::string::npos) << code;
    for (const char* line :
         {"$patchCode = '{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}'\r\n",
          "$targetVersion = '8.2.0.5'\r\n", "$applicableVersions = @(\r\n    '8.1.0.4'\r\n)\r\n"})
        EXPECT_NE(script.find(line), std::string::npos) << line;
    const std::string small_script = intune_requirement_script(small.detection);
    EXPECT_NE(small_script.find("$targetVersion = $null\r\n"), std::string::npos);
    const std::string& versions = small.detection.applicable_versions;
    ASSERT_NE(versions.find(','), std::string::npos);
    for (std::size_t at = 0, comma; (comma = versions.find(',', at)) != std::string::npos;
         at = comma + 1)
        EXPECT_NE(small_script.find("\r\n    '" + versions.substr(at, comma - at) + "'\r\n"),
                  std::string::npos)
            << versions;
    for (const std::string& text : {script, small_script}) {
        // Every output is a Boolean followed by exit 0; False is the last word.
        std::size_t outputs = 0;
        for (std::size_t at = text.find("Write-Output"); at != std::string::npos;
             at = text.find("Write-Output", at + 1), ++outputs) {
            const std::string rest = text.substr(at, text.find("exit 0", at) - at);
            EXPECT_TRUE(rest.find("Write-Output $true\r\n") == 0 ||
                        rest.find("Write-Output $false\r\n") == 0)
                << rest;
            EXPECT_EQ(rest.find_first_not_of(' ', rest.find("\r\n") + 2), std::string::npos)
                << rest;
        }
        EXPECT_GE(outputs, 3u);
        const std::string last = "\r\nWrite-Output $false\r\nexit 0\r\n";
        EXPECT_EQ(text.substr(text.size() - last.size()), last);
        EXPECT_EQ(text.find("exit 1"), std::string::npos);
    }
}

} // namespace
