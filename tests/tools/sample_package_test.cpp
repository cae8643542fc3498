// The sample service pack read back: container, summary, transforms and payload.
#include "sample_reading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace corvath::tests;

namespace {

const std::string patch_code = "{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}";
const std::string summary_stream = "\005SummaryInformation";

std::map<std::uint32_t, TypedValue> summary_of(const std::vector<std::string>& storage) {
    std::vector<std::string> path = storage;
    path.push_back(summary_stream);
    const auto stream = read_stream(sample_path("corvath-sp-sample.msp"), path);
    if (!stream)
        return {};
    return parse_property_set(*stream).value_or(std::map<std::uint32_t, TypedValue>{});
}

std::string text_of(const std::map<std::uint32_t, TypedValue>& summary, std::uint32_t id) {
    const auto found = summary.find(id);
    if (found == summary.end() || found->second.type != 30)
        return "<no VT_LPSTR property " + std::to_string(id) + ">";
    return std::get<std::string>(found->second.value);
}

} // namespace

TEST(SamplePackage, IsExactlyTheEmbeddedSize) {
    const auto bytes = read_file(sample_path("corvath-sp-sample.msp"));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), 16'049'664u);
    const Bytes signature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    EXPECT_TRUE(std::equal(signature.begin(), signature.end(), bytes->begin()));
}

TEST(SamplePackage, RootCarriesThePatchClassAndAStringPool) {
    const Bytes patch_class = {0x86, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                               0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    EXPECT_EQ(class_id(sample_path("corvath-sp-sample.msp"), {}), patch_class);
    // The database opener needs _StringPool and _StringData, in their encoded names.
    const auto names = child_names(sample_path("corvath-sp-sample.msp"));
    for (const char16_t* name : {u"\x4840\x3F3F\x4577\x446C\x3E6A\x44B2\x482F",
                                 u"\x4840\x3F3F\x4577\x446C\x3B6A\x45E4\x4824"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), utf8_of(name)), names.end());
    }
}

TEST(SamplePackage, SaysItMayBeRemovedAndToWhichFamilyItBelongs) {
    // Read back by msiinfo, independently of the writer: the rows Windows Installer reads.
    using Rows = std::vector<std::vector<std::string>>;
    EXPECT_EQ(table_rows("corvath-sp-sample.msp", "MsiPatchMetadata"),
              (Rows{{"", "AllowRemoval", "1"},
                    {"", "Classification", "Service Pack"},
                    {"", "Description", "Corvath 8.2 Service Pack for 8.1 users"},
                    {"", "DisplayName", "Corvath 8.2.0.5 Service Pack"},
                    {"", "ManufacturerName", "Lunmere"},
                    {"", "TargetProductName", "Corvath"}}));
    EXPECT_EQ(table_rows("corvath-sp-sample.msp", "MsiPatchSequence"),
              (Rows{{"CorvathServicePack", "", "8.2.0.5", ""}}));
    EXPECT_TRUE(table_rows("other-patch.msp", "MsiPatchMetadata").empty());
}

TEST(SamplePackage, TargetListIsThe22CodesWithOneSecondGroup) {
    const auto summary = summary_of({});
    ASSERT_FALSE(summary.empty());
    const std::string targets = text_of(summary, 7);
    EXPECT_EQ(targets.size(), 857u);
    const auto codes = split(targets, ';');
    EXPECT_EQ(codes, target_codes());
    ASSERT_EQ(codes.size(), 22u);
    for (const std::string& code : codes)
        EXPECT_EQ(code.substr(10, 4), "4F3E") << code;

    const auto codepage = summary.find(1);
    ASSERT_NE(codepage, summary.end());
    EXPECT_EQ(codepage->second.type, 2u);
    EXPECT_EQ(std::get<std::int32_t>(codepage->second.value), 1252);
}

TEST(SamplePackage, RevisionStartsWithThePatchCode) {
    EXPECT_EQ(text_of(summary_of({}), 9).substr(0, 38), patch_code);
}

TEST(SamplePackage, EveryTargetHasItsOwnTransformPair) {
    const auto transforms = split(text_of(summary_of({}), 8), ';');
    const auto codes = target_codes();
    ASSERT_EQ(transforms.size(), 2 * codes.size());

    std::set<std::string> products;
    const Bytes transform_class = {0x82, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    for (std::size_t i = 0; i < transforms.size(); ++i) {
        const std::string& entry = transforms[i];
        ASSERT_EQ(entry.front(), ':') << entry;
        const std::string storage = entry.substr(1);
        // Pairs: the upgrade transform, then "#" and the same name for the patch transform.
        EXPECT_EQ(storage.front() == '#', i % 2 == 1) << entry;
        EXPECT_EQ(class_id(sample_path("corvath-sp-sample.msp"), {storage}), transform_class)
            << entry;

        const auto summary = summary_of({storage});
        const std::string product = text_of(summary, 9);
        const std::string code = product.substr(0, 38);
        // "#X" is checked once "X" has moved the version: it names 8.2.0.5 twice.
        EXPECT_EQ(product, code + (i % 2 ? "8.2.0.5;" : "8.1.0.4;") + code +
                               "8.2.0.5;{3B7E9A10-2C4D-4E5F-8A9B-1C2D3E4F5A6B}");
        EXPECT_EQ(text_of(summary, 7), "x64;1033") << entry;
        const auto flags = summary.find(16);
        ASSERT_NE(flags, summary.end()) << entry;
        EXPECT_EQ(flags->second.type, 3u);
        // As real tools write both: validation 0x0922 in the upper word, errors 0x1F below.
        EXPECT_EQ(std::get<std::int32_t>(flags->second.value), 0x0922001F);
        if (i % 2 == 0)
            products.insert(code);
    }
    EXPECT_EQ(products, std::set<std::string>(codes.begin(), codes.end()));
}

TEST(SamplePackage, CabinetCarriesTheNewFiles) {
    // "PATCH_CAB" in stream-name encoding, as Wine accepted it.
    const auto cabinet = read_stream(sample_path("corvath-sp-sample.msp"),
                                     {utf8_of(u"\x3A99\x3B1D\x47D1\x3A8C\x480B")});
    ASSERT_TRUE(cabinet);
    ASSERT_GT(cabinet->size(), 44u);
    EXPECT_EQ(std::string(cabinet->begin(), cabinet->begin() + 4), "MSCF");
    const auto u16 = [&](std::size_t at) { return (*cabinet)[at] | (*cabinet)[at + 1] << 8; };
    const auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(u16(at) | u16(at + 2) << 16);
    };
    ASSERT_EQ(u16(26), 1) << "one folder";
    ASSERT_EQ(u16(30), 0) << "no reserved fields";
    ASSERT_EQ(u16(36 + 6), 0) << "stored uncompressed";

    // The uncompressed data blocks of the folder, joined: corvath.exe, then corvath.dat.
    Bytes joined;
    std::size_t at = u32(36);
    for (int block = 0; block < u16(40); ++block) {
        ASSERT_LE(at + 8, cabinet->size());
        const std::size_t length = u16(at + 4);
        ASSERT_LE(at + 8 + length, cabinet->size());
        joined.insert(joined.end(), cabinet->begin() + at + 8, cabinet->begin() + at + 8 + length);
        at += 8 + length;
    }
    const auto exe = read_file(std::string(CORVATH_PROGRAMS_DIR) + "/corvath-8.2.0.5.exe");
    ASSERT_TRUE(exe);
    ASSERT_GT(joined.size(), exe->size());
    EXPECT_TRUE(std::equal(exe->begin(), exe->end(), joined.begin()));
    const std::string data(joined.begin() + exe->size(), joined.begin() + exe->size() + 38);
    EXPECT_EQ(data, "Corvath 8.2.0.5 data, line 0000000000\r");
}
