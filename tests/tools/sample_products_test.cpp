// The sample products as wixl and the post-processing left them, against what the
// transforms expect of them.
#include "product_layout.h"
#include "sample_reading.h"

#include <gtest/gtest.h>

using namespace corvath::tests;
namespace lay = corvath::patchkit::layout;

namespace {

std::string property(const std::string& msi, const std::string& name) {
    for (const auto& row : table_rows(msi, "Property"))
        if (row.size() == 2 && row[0] == name)
            return row[1];
    return "<missing>";
}

struct Product {
    const char* msi;
    std::size_t code_line;
    const char* version;
    const char* language;
};

const Product products[] = {
    {"corvath-de.msi", 1, "8.1.0.4", "1031"},      {"corvath-fr.msi", 2, "8.1.0.4", "1036"},
    {"corvath-en.msi", 3, "8.1.0.4", "1033"},      {"corvath-pl.msi", 4, "8.1.0.4", "1045"},
    {"corvath-current.msi", 5, "8.2.0.5", "1033"}, {"corvath-old.msi", 6, "8.0.0.0", "1033"},
    {"corvath-failing.msi", 7, "8.1.0.4", "1033"}, {"corvath-longname.msi", 8, "8.0.0.0", "1033"},
    {"corvath-restart.msi", 9, "8.1.0.4", "1033"},
};

} // namespace

TEST(SampleProducts, PropertiesFollowTheProductTable) {
    const auto codes = target_codes();
    for (const Product& p : products) {
        EXPECT_EQ(property(p.msi, "ProductCode"), codes[p.code_line - 1]) << p.msi;
        EXPECT_EQ(property(p.msi, "ProductVersion"), p.version) << p.msi;
        EXPECT_EQ(property(p.msi, "ProductLanguage"), p.language) << p.msi;
        EXPECT_EQ(property(p.msi, "UpgradeCode"), lay::upgrade_code) << p.msi;
        EXPECT_EQ(property(p.msi, "Manufacturer"), "Lunmere") << p.msi;
        EXPECT_EQ(property(p.msi, "ALLUSERS"), "1") << p.msi;
    }
    // Longer than the 1,024 characters of an installer property buffer.
    const std::string long_name = property("corvath-longname.msi", "ProductName");
    EXPECT_EQ(long_name.size(), 1208u);
    EXPECT_EQ(long_name.substr(0, 28), "Corvath .........1.........2");
}

TEST(SampleProducts, FileTableIsWhatTheTransformsAddress) {
    for (const Product& p : products) {
        const auto rows = table_rows(p.msi, "File");
        ASSERT_EQ(rows.size(), 2u) << p.msi;
        // File, Component_, FileName, FileSize, Version, Language, Attributes, Sequence
        EXPECT_EQ(rows[0][0], lay::exe_file_key) << p.msi;
        EXPECT_EQ(rows[0][2], "corvath.exe");
        EXPECT_EQ(rows[0][4], p.version) << "the installer compares versions only when set";
        EXPECT_EQ(rows[0][7], "1");
        EXPECT_EQ(rows[1][0], lay::data_file_key) << p.msi;
        EXPECT_EQ(rows[1][2], "corvath.dat");
        EXPECT_EQ(rows[1][7], std::to_string(lay::last_product_sequence));
        for (const auto& row : rows)
            EXPECT_EQ(row[6], std::to_string(lay::file_attributes)) << p.msi;

        const auto media = table_rows(p.msi, "Media");
        ASSERT_EQ(media.size(), 1u) << p.msi;
        EXPECT_EQ(media[0][0], "1");
        EXPECT_EQ(media[0][1], std::to_string(lay::last_product_sequence));
    }
}

TEST(SampleProducts, OnlyTheFailingProductRefusesPatchesOnlyTheRestartOneAsksForARestart) {
    for (const Product& p : products) {
        const std::string name = p.msi;
        bool error_action = false;
        for (const auto& row : table_rows(p.msi, "CustomAction"))
            error_action = error_action || (row.size() >= 2 && row[1] == "19");
        std::string on_patch;
        for (const auto& row : table_rows(p.msi, "InstallExecuteSequence"))
            if (row.size() >= 2 && row[1] == "PATCH")
                on_patch += row[0] + ";";
        EXPECT_EQ(error_action, name == "corvath-failing.msi") << p.msi;
        EXPECT_EQ(on_patch, name == "corvath-failing.msi"   ? "RefusePatch;"
                            : name == "corvath-restart.msi" ? "ScheduleReboot;"
                                                            : "")
            << p.msi;
    }
}
