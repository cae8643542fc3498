// The pack's checks over the packages the sample builds (each edge package breaks one rule),
// and over copies of valid patches with one field of their compound file spoilt.
#include "hand_laid_package.h"
#include "msp/compound_file.h"
#include "msp/pack_check.h"
#include "msp/patch_metadata.h"
#include "msp/patch_rules.h"
#include "msp/patch_summary.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

using namespace corvath::msp;

namespace {

std::filesystem::path sample(const std::string& name) {
    return std::filesystem::path(CORVATH_SAMPLE_DIR) / name;
}

constexpr const char* kSampleCode = "{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}";

TEST(PackCheck, EachSamplePackageGetsItsRuleOrItsCode) {
    struct Row {
        const char* file;
        std::string refusal; // empty: accepted
        std::string code{};
        bool removable = false;
    };
    const std::string not_a_code = " is not a product code: a braced upper-case GUID";
    const Row rows[] = {
        {"corvath-sp-sample.msp", "", kSampleCode, true},
        {"other-patch.msp", "", "{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E61}", false},
        {"edge-not-cfb.msp", "not an OLE compound file, which every patch package is"},
        {"edge-truncated.msp", "the compound file is cut short (its directory is missing)"},
        {"edge-database-class.msp", "not a patch: its root class id is not the patch class "
                                    "{000C1086-0000-0000-C000-000000000046}"},
        {"edge-no-pid7.msp", "summary property 7, the target product codes, is missing or empty"},
        {"edge-empty-entry.msp",
         "summary property 7 has an empty entry (\";\" at an end or twice in a row)"},
        {"edge-lower-case.msp",
         "summary property 7 entry \"{6513270e-4f3e-0d37-f2a7-4de452e6b438}\"" + not_a_code},
        {"edge-pid7-2047.msp", "summary property 7 entry \"{00000000000000000}\"" + not_a_code},
        {"edge-pid7-2048.msp", "summary property 7 entry \"{000000000000000000}\"" + not_a_code},
        {"edge-pid7-10000.msp", "summary property 7 entry \"{00000000000000}\"" + not_a_code},
        {"edge-no-patch-code.msp",
         "summary property 9 does not begin with the patch code, a braced upper-case GUID"},
        {"no-such-file.msp", "names no file"},
    };
    for (const Row& row : rows) {
        const PackCheck check = check_pack_patch(sample(row.file));
        EXPECT_EQ(check.refusal.value_or(""), row.refusal) << row.file;
        EXPECT_EQ(check.patch_code, row.code) << row.file;
        EXPECT_EQ(check.allows_removal, row.removable) << row.file;
        // The one warning these packages can get: a patch that cannot be removed.
        EXPECT_EQ(check.warnings.size(), row.code.empty() || row.removable ? 0u : 1u) << row.file;
    }
    // What "Installed updates" lists the sample under; the other patch has no metadata.
    const PackCheck sample_check = check_pack_patch(sample("corvath-sp-sample.msp"));
    EXPECT_EQ(sample_check.display_name.value_or("-"), "Corvath 8.2.0.5 Service Pack");
    EXPECT_EQ(sample_check.description.value_or("-"), "Corvath 8.2 Service Pack for 8.1 users");
    const PackCheck other = check_pack_patch(sample("other-patch.msp"));
    EXPECT_FALSE(other.display_name || other.description);
}

// A pool of DisplayName = `name` and Description = "d", in `code_page`.
hand_laid::Metadata named(std::uint16_t code_page, const std::string& name) {
    hand_laid::Metadata metadata;
    std::string data;
    corvath::patchkit::put_u16(metadata.pool, code_page);
    corvath::patchkit::put_u16(metadata.pool, 0);
    for (const std::string& text :
         {std::string("DisplayName"), name, std::string("Description"), std::string("d")}) {
        corvath::patchkit::put_u16(metadata.pool, static_cast<std::uint16_t>(text.size()));
        corvath::patchkit::put_u16(metadata.pool, 1);
        data += text;
    }
    metadata.data.assign(data.begin(), data.end());
    // Two rows, a column after another: Company (none), Property, Value.
    for (const std::uint16_t id : {0, 0, 1, 3, 2, 4})
        corvath::patchkit::put_u16(metadata.table, id);
    return metadata;
}

TEST(PatchMetadata, NameAndDescriptionAsUtf8WhereTheirCodePageTells) {
    struct Row {
        const char* what;
        std::uint16_t code_page;
        std::string stored;
        std::optional<std::string> read;
    };
    const Row rows[] = {
        {"ASCII in no code page", 0, "SP1 (x64)", "SP1 (x64)"},
        {"Western", 1252,
         "\xC9"
         "dition \x80",
         "\xC3\x89"
         "dition \xE2\x82\xAC"},
        {"Western, a byte it leaves undefined", 1252, "a\x81", std::nullopt},
        {"UTF-8", 65001,
         "\xC3\x89"
         "dition",
         "\xC3\x89"
         "dition"},
        {"UTF-8, an overlong form", 65001, "\xC0\xAF", std::nullopt},
        {"UTF-8, cut short", 65001, "ab\xE2\x82", std::nullopt},
        {"no code page, not ASCII", 0, "\xC9", std::nullopt},
        {"Cyrillic", 1251, "\xC0", std::nullopt},
    };
    const auto path = std::filesystem::path(testing::TempDir()) / "named.msp";
    for (const Row& row : rows) {
        hand_laid::small_patch(named(row.code_page, row.stored)).write(path);
        auto file = open_compound_file(path);
        ASSERT_TRUE(file.ok()) << row.what;
        const auto children = root_children(file.value);
        ASSERT_TRUE(children.ok()) << row.what;
        const auto metadata = read_patch_metadata(file.value, children.value);
        ASSERT_TRUE(metadata.ok()) << row.what << ": " << metadata.failure;
        EXPECT_EQ(metadata.value.display_name, row.read) << row.what;
        EXPECT_EQ(metadata.value.description.value_or("-"), "d") << row.what;
    }
    std::filesystem::remove(path);
}

TEST(PackCheck, SizesAroundWhatAPackCarries) {
    struct Row {
        std::uint64_t size;
        bool refused;
        bool warned;
    };
    for (const Row& row : {Row{2147483648, false, false}, Row{2147483649, false, true},
                           Row{4227858432, false, true}, Row{4227858433, true, true}}) {
        EXPECT_EQ(size_refusal(row.size).has_value(), row.refused) << row.size;
        EXPECT_EQ(size_warning(row.size).has_value(), row.warned) << row.size;
    }
}

TEST(PatchSummary, TargetsAndPatchCodeAsStored) {
    // The sample's summary lives in the mini stream, the 10,000-character list's in sectors.
    const auto read = read_patch_summary(sample("corvath-sp-sample.msp"));
    ASSERT_TRUE(read.ok()) << read.failure;
    const std::string& targets = read.value.targets.value();
    EXPECT_EQ(targets.size(), 857u);
    EXPECT_EQ(std::count(targets.begin(), targets.end(), ';'), 21);
    EXPECT_EQ(read.value.revision.value().substr(0, 38), kSampleCode);

    const auto long_list = read_patch_summary(sample("edge-pid7-10000.msp"));
    ASSERT_TRUE(long_list.ok()) << long_list.failure;
    EXPECT_EQ(long_list.value.targets.value().size(), 10000u);
    const auto absent = read_patch_summary(sample("edge-no-pid7.msp"));
    ASSERT_TRUE(absent.ok()) << absent.failure;
    EXPECT_FALSE(absent.value.targets.has_value());
    EXPECT_TRUE(absent.value.revision.has_value());
}

// A valid patch's bytes, and where its fields lie (512-byte sectors, 128 FAT entries a sector).
struct Package {
    std::vector<std::uint8_t> bytes;

    std::uint32_t u32(std::size_t at) const {
        return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
               static_cast<std::uint32_t>(bytes[at + 3]) << 24;
    }
    void put(std::size_t at, std::uint32_t value, std::size_t width = 4) {
        for (std::size_t i = 0; i < width; ++i)
            bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    std::size_t sector(std::uint32_t number) const { return (number + 1) * std::size_t{512}; }
    std::uint32_t directory() const { return u32(48); }
    // Entry `id` of the directory's first sector: 0 the root, 1 the summary information.
    std::size_t entry(std::uint32_t id) const { return sector(directory()) + id * 128; }
    std::size_t fat_entry(std::uint32_t of) const {
        return sector(u32(76 + 4 * (of / 128))) + 4 * (of % 128);
    }
    // The summary starts the mini stream, in the root's first sector.
    std::size_t summary() const { return sector(u32(entry(0) + 116)) + 64 * u32(entry(1) + 116); }
    // Property 7: its type, then its byte count, then its text.
    std::size_t targets() const {
        const std::size_t section = summary() + u32(summary() + 44);
        std::size_t pair = section + 8;
        while (u32(pair) != 7 && pair < section + 8 * u32(section + 4))
            pair += 8;
        return section + u32(pair + 4);
    }
};

TEST(PackCheck, DamageToTheCompoundFileIsNamed) {
    struct Row {
        const char* what;
        std::function<void(Package&)> spoil;
        std::string refusal;
        const char* file = "other-patch.msp";
    };
    const Row rows[] = {
        {"sector shift 10", [](Package& p) { p.put(30, 10, 2); },
         "the compound file's header is damaged (sector size)"},
        {"directory past the end", [](Package& p) { p.put(48, 0xFFFFFF00); },
         "the compound file is cut short (its directory is missing)"},
        {"the directory's FAT sector past the end",
         [](Package& p) { p.put(76 + 4 * (p.directory() / 128), 0xFFFFFF00); },
         "the compound file's sector table (FAT) is damaged"},
        {"the directory chained to itself",
         [](Package& p) { p.put(p.fat_entry(p.directory()), p.directory()); },
         "a sector chain of the compound file loops"},
        {"the directory chained past the end",
         [](Package& p) { p.put(p.fat_entry(p.directory()), 0xFFFFFF00); },
         "a sector chain of the compound file runs past its end"},
        {"the DIFAT past the end", [](Package& p) { p.put(68, 0xFFFFFF00); },
         "the compound file's sector table (DIFAT) is damaged", "corvath-sp-sample.msp"},
        {"the root's child past the directory", [](Package& p) { p.put(p.entry(0) + 76, 1000); },
         "the compound file's directory is damaged"},
        {"the summary its own sibling", [](Package& p) { p.put(p.entry(1) + 68, 1); },
         "the compound file's directory loops"},
        {"the summary past the mini stream", [](Package& p) { p.put(p.entry(1) + 116, 1000); },
         "a stream of the compound file runs past its mini stream"},
        {"the summary 70 MB", [](Package& p) { p.put(p.entry(1) + 120, 70u << 20); },
         "a stream it reads is larger than 64 MiB"},
        {"the summary's byte order", [](Package& p) { p.put(p.summary(), 0, 2); },
         "its summary information is not a summary property set"},
        {"the section past the summary", [](Package& p) { p.put(p.summary() + 44, 0xFFFF); },
         "its summary information is cut short"},
        {"property 7 a number", [](Package& p) { p.put(p.targets(), 3); },
         "summary property 7 is not text (type 3)"},
        {"property 7 past the summary", [](Package& p) { p.put(p.targets() + 4, 0xFFFF); },
         "summary property 7 runs past its stream"},
        {"a control character in property 7", [](Package& p) { p.put(p.targets() + 8, 1, 1); },
         "summary property 7 holds a character no product or patch code has"},
    };
    const auto spoilt = std::filesystem::path(testing::TempDir()) / "spoilt.msp";
    for (const Row& row : rows) {
        std::ifstream in(sample(row.file), std::ios::binary);
        Package package{{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()}};
        row.spoil(package);
        std::ofstream(spoilt, std::ios::binary)
            .write(reinterpret_cast<const char*>(package.bytes.data()),
                   static_cast<std::streamsize>(package.bytes.size()));
        EXPECT_EQ(check_pack_patch(spoilt).refusal.value_or(""), row.refusal) << row.what;
    }
    std::filesystem::remove(spoilt);
}

} // namespace
