// Record 206 as the builder writes it, and the rules the formatter enforces.
#include "patch_record.h"
#include "sample_reading.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace corvath::tests;
using corvath::pack::format_patch_record;
using corvath::pack::PatchRecordFields;

TEST(Record206, BytesFollowTheRecordFormat) {
    const auto bytes = read_file(sample_path("record206.txt"));
    ASSERT_TRUE(bytes);
    const std::string record(bytes->begin(), bytes->end());
    ASSERT_EQ(record.size(), 926u);
    EXPECT_EQ(record.find('\0'), std::string::npos);
    EXPECT_NE(record.substr(0, 3), "\xEF\xBB\xBF");
    for (const unsigned char c : record)
        EXPECT_TRUE(c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F)) << int(c);
    ASSERT_EQ(record.substr(record.size() - 2), "\r\n");

    // Every line ends in CR LF, the last one too; no bare LF or CR anywhere.
    auto lines = split(record, '\n');
    ASSERT_EQ(lines.back(), "");
    lines.pop_back();
    ASSERT_EQ(lines.size(), 6u);
    const std::string keys[] = {"ProductCode", "ProductVersionCandidate",
                                "PatchTitle",  "PatchGUID",
                                "PatchSize",   "PatchDesc"};
    const std::size_t value_lengths[] = {38, 7, 38, 38, 8, 708};
    const auto size = std::filesystem::file_size(sample_path("corvath-sp-sample.msp"));
    const std::string values[] = {
        target_codes().front(), "8.2.0.5", "", "{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}",
        std::to_string(size),   ""};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i].back(), '\r') << keys[i];
        const std::string line = lines[i].substr(0, lines[i].size() - 1);
        EXPECT_EQ(line.find('\r'), std::string::npos);
        ASSERT_EQ(line.substr(0, keys[i].size() + 1), keys[i] + "=");
        const std::string value = line.substr(keys[i].size() + 1);
        EXPECT_EQ(value.size(), value_lengths[i]) << keys[i];
        if (!values[i].empty()) {
            EXPECT_EQ(value, values[i]) << keys[i];
        }
    }
    EXPECT_EQ(size, 16'049'664u);
}

namespace {

PatchRecordFields valid_fields() {
    return {"{6513270E-4F3E-0D37-F2A7-4DE452E6B438}", "8.2.0.5", "Title",
            "{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}", 1234,      "Description."};
}

} // namespace

TEST(PatchRecordFormat, ValidFieldsGiveOneLinePerKey) {
    std::string error;
    const auto record = format_patch_record(valid_fields(), error);
    ASSERT_TRUE(record) << error;
    EXPECT_EQ(*record, "ProductCode={6513270E-4F3E-0D37-F2A7-4DE452E6B438}\r\n"
                       "ProductVersionCandidate=8.2.0.5\r\n"
                       "PatchTitle=Title\r\n"
                       "PatchGUID={5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}\r\n"
                       "PatchSize=1234\r\n"
                       "PatchDesc=Description.\r\n");
}

TEST(PatchRecordFormat, RejectsFieldsThatWouldBreakTheRecord) {
    struct Case {
        const char* name;
        void (*spoil)(PatchRecordFields&);
    };
    const Case cases[] = {
        {"LF in title", [](PatchRecordFields& f) { f.title = "two\nlines"; }},
        {"CR in description", [](PatchRecordFields& f) { f.description = "a\rb"; }},
        {"CR LF in description", [](PatchRecordFields& f) { f.description = "a\r\nPatchSize=1"; }},
        {"non-ASCII title", [](PatchRecordFields& f) { f.title = "Servi\xC3\xA7o"; }},
        {"Latin-1 byte in description", [](PatchRecordFields& f) { f.description = "caf\xE9"; }},
        {"NUL in description",
         [](PatchRecordFields& f) { f.description = std::string("a\0b", 3); }},
        {"tab in title", [](PatchRecordFields& f) { f.title = "a\tb"; }},
        {"empty title", [](PatchRecordFields& f) { f.title.clear(); }},
        {"lower-case product code",
         [](PatchRecordFields& f) { f.product_code = "{6513270e-4f3e-0d37-f2a7-4de452e6b438}"; }},
        {"unbraced patch code",
         [](PatchRecordFields& f) { f.patch_code = "5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60"; }},
        {"three-part version", [](PatchRecordFields& f) { f.version = "8.2.0"; }},
        {"version with letters", [](PatchRecordFields& f) { f.version = "8.2.0.5a"; }},
        {"zero size", [](PatchRecordFields& f) { f.package_size = 0; }},
    };
    for (const Case& c : cases) {
        PatchRecordFields fields = valid_fields();
        c.spoil(fields);
        std::string error;
        EXPECT_FALSE(format_patch_record(fields, error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
    }
}
