// Patches shaped as real patch tools make them (tools/, shaped_patches.h): the versions, notes
// and warnings the pack's build takes from them, and the detection it writes.
#include "msp/pack_check.h"
#include "msp/pack_detection.h"
#include "shaped_patches.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using namespace corvath::msp;
namespace shapes = corvath::patchkit::shapes;

namespace {

PackCheck check_shape(const shapes::Shape& shape) {
    std::string error;
    const auto bytes = shapes::build_shaped_patch(shape, error);
    EXPECT_TRUE(bytes) << error;
    const auto path = std::filesystem::path(testing::TempDir()) / shape.file_name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes->data()),
               static_cast<std::streamsize>(bytes->size()));
    PackCheck check = check_pack_patch(path);
    std::filesystem::remove(path);
    return check;
}

std::size_t count_of(const std::vector<std::string>& lines, const std::string& text) {
    std::size_t count = 0;
    for (const std::string& line : lines)
        count += line.find(text) != std::string::npos;
    return count;
}

TEST(RealShapes, AMinorUpgradeBringsItsBaselineToItsNewVersionByVersion) {
    const PackCheck check = check_shape(shapes::minor_upgrade());
    ASSERT_FALSE(check.refusal) << *check.refusal;
    EXPECT_EQ(check.versions.target, "1.0.1.0");
    EXPECT_EQ(check.versions.applicable, "1.0.0.0,") << "never the version it brings";
    EXPECT_FALSE(check.versions.small_update);
    EXPECT_TRUE(check.detection.by_version);
    EXPECT_TRUE(check.notes.empty()) << check.notes.front();
    EXPECT_TRUE(check.warnings.empty()) << check.warnings.front();
    EXPECT_TRUE(check.versions.upgraded_products.empty());
}

TEST(RealShapes, ASmallUpdateOfTwoBaselinesAppliesToBothByPatchCode) {
    const PackCheck check = check_shape(shapes::two_baseline_small_update());
    ASSERT_FALSE(check.refusal) << *check.refusal;
    EXPECT_EQ(check.versions.target, "1.0.1.0");
    EXPECT_EQ(check.versions.applicable, "1.0.0.0,1.0.1.0,");
    EXPECT_TRUE(check.versions.small_update);
    EXPECT_FALSE(check.detection.by_version);
    ASSERT_EQ(check.notes.size(), 1u);
    EXPECT_EQ(count_of(check.notes, "small update"), 1u);
}

// Where Windows Installer would apply the patch to more versions than the pack: one note, which
// names the option that lists versions by hand.
TEST(RealShapes, ValidationWiderThanThePacksGetsOneNote) {
    struct Row {
        const char* what;
        shapes::Shape shape;
        std::string note; // a part of it; empty: no note
    };
    const auto flags = [](std::int32_t validation) {
        return shapes::minor_upgrade("1.0.0.0", "1.0.1.0", validation << 16 | 0x1F);
    };
    shapes::Shape close_baselines = shapes::two_baseline_small_update();
    close_baselines.pairs[0].from_version = close_baselines.pairs[0].to_version = "1.0.1.1";
    close_baselines.pairs[1].from_version = close_baselines.pairs[1].to_version = "1.0.1.2";
    const Row rows[] = {
        {"product, update version equal, upgrade code", flags(0x0922), ""},
        {"no comparison bit: equal", flags(0x0822), ""},
        {"no version check", flags(0x0902), "checks no version"},
        {"nothing validated", flags(0), "checks no version"},
        {"major.minor", flags(0x0912), "compares only two fields of the version"},
        {"major only", flags(0x0908), "compares only the first field of the version"},
        {"greater or equal", flags(0x0A22), "is >= its baseline"},
        {"greater", flags(0x0C22), "is > its baseline"},
        {"less or equal", flags(0x08A2), "is <= its baseline"},
        {"two baselines alike in three fields", close_baselines,
         "the baselines of \"Shape100\" and \"Shape101\" are equal in the 3 fields compared"},
    };
    for (const Row& row : rows) {
        const PackCheck check = check_shape(row.shape);
        ASSERT_FALSE(check.refusal) << row.what << ": " << *check.refusal;
        const std::size_t notes = count_of(check.notes, "--applicable-versions");
        EXPECT_EQ(notes, row.note.empty() ? 0u : 1u) << row.what;
        if (!row.note.empty()) {
            EXPECT_EQ(count_of(check.notes, row.note), 1u) << row.what;
        }
        EXPECT_TRUE(check.warnings.empty()) << row.what << ": " << check.warnings.front();
    }
}

TEST(RealShapes, APatchOfAFamilyGetsOneNoteNoWarning) {
    const PackCheck check = check_shape(shapes::family_patch());
    ASSERT_FALSE(check.refusal) << *check.refusal;
    ASSERT_EQ(check.notes.size(), 1u);
    EXPECT_EQ(count_of(check.notes,
                       "its MsiPatchSequence supersedes earlier patches of its family; "
                       "its MsiPatchMetadata has MinorUpdateTargetRTM=1"),
              1u);
    EXPECT_EQ(count_of(check.notes, "--applicable-versions"), 1u);
    EXPECT_TRUE(check.warnings.empty());
    // Either alone is enough; a sequence row without the attribute (the sample's) is not.
    shapes::Shape supersedes = shapes::minor_upgrade();
    supersedes.sequence_attributes = 0x1;
    shapes::Shape original_release = shapes::minor_upgrade();
    original_release.minor_update_target_rtm = true;
    shapes::Shape other_attribute = shapes::minor_upgrade();
    other_attribute.sequence_attributes = 0x2;
    EXPECT_EQ(count_of(check_shape(supersedes).notes, "supersedes earlier"), 1u);
    EXPECT_EQ(count_of(check_shape(original_release).notes, "MinorUpdateTargetRTM=1"), 1u);
    EXPECT_TRUE(check_shape(other_attribute).notes.empty());
}

TEST(RealShapes, AMajorUpgradeNamesItsNewCodeWarnsAndIsDetectedUnderIt) {
    const PackCheck check = check_shape(shapes::major_upgrade());
    ASSERT_FALSE(check.refusal) << *check.refusal;
    const std::string upgraded(shapes::upgraded_product_code);
    EXPECT_EQ(check.versions.upgraded_products, std::vector<std::string>{upgraded});
    EXPECT_EQ(check.detection.upgraded_product_codes, std::vector<std::string>{upgraded});
    EXPECT_EQ(check.versions.target, "2.0.0.0");
    ASSERT_EQ(check.warnings.size(), 1u);
    EXPECT_NE(check.warnings[0].find("Windows Installer cannot remove such a patch"),
              std::string::npos);
    EXPECT_NE(check.warnings[0].find("(" + upgraded + ")"), std::string::npos);
    EXPECT_NE(
        detection_facts(check.detection).find("\r\nUpgradedProductCodes=" + upgraded + "\r\n"),
        std::string::npos);
    const std::string script = intune_detection_script(check.detection);
    EXPECT_NE(script.find("$upgradedCodes = @(\r\n    '" + upgraded + "'\r\n)"), std::string::npos);
    EXPECT_NE(script.find("$upgradeTargetVersion = '2.0.0.0'"), std::string::npos);

    // corvath-pack-check's line, before the code, as the build reads them.
    const auto path = std::filesystem::path(testing::TempDir()) / "major.msp";
    std::string error;
    const auto bytes = shapes::build_shaped_patch(shapes::major_upgrade(), error);
    ASSERT_TRUE(bytes) << error;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes->data()),
               static_cast<std::streamsize>(bytes->size()));
    std::string output;
    if (FILE* pipe = popen((std::string(CORVATH_PACK_CHECK) + " " + path.string()).c_str(), "r")) {
        char buffer[4096];
        for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, got);
        EXPECT_EQ(pclose(pipe), 0);
    }
    std::filesystem::remove(path);
    EXPECT_NE(
        output.find("\nupgraded=" + upgraded + "\ncode=" + std::string(shapes::patch_code) + "\n"),
        std::string::npos)
        << output;
}

// PowerShell enumerates what a function returns: the script reads the patch collection where
// the method call gives it, and no function of it returns a collection.
TEST(RealShapes, TheDetectionScriptKeepsThePatchCollectionOutOfFunctions) {
    const std::string script =
        intune_detection_script(check_shape(shapes::two_baseline_small_update()).detection);
    EXPECT_NE(script.find("        $patches = [System.__ComObject].InvokeMember('PatchesEx', $get, "
                          "$null, $installer,\r\n"),
              std::string::npos);
    EXPECT_NE(script.find("InvokeMember('Count', $get, $null, $patches, $null)"),
              std::string::npos);
    for (std::size_t at = script.find("\r\nfunction "); at != std::string::npos;
         at = script.find("\r\nfunction ", at + 1)) {
        const std::string body = script.substr(at, script.find("\r\n}\r\n", at) - at);
        for (const char* collection : {"PatchesEx", "'Item'", "'Count'"})
            EXPECT_EQ(body.find(collection), std::string::npos) << body;
    }
    EXPECT_EQ(script.find("Get-Property"), std::string::npos);
    EXPECT_NE(script.find("$upgradedCodes = @(\r\n)"), std::string::npos) << "none: an empty list";
}

} // namespace
