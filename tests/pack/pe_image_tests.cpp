#include "pe_image.h"
#include "rsrc_section.h"
#include "test_base_image.h"

#include <gtest/gtest.h>

namespace corvath::pack {
namespace {

using test::make_test_base;
using test::TestBase;

ResourceTree sorted(ResourceTree tree) {
    sort_for_directory(tree);
    return tree;
}

void expect_same_tree(const ResourceTree& expected, const ResourceTree& actual) {
    const ResourceTree a = sorted(expected);
    const ResourceTree b = sorted(actual);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_TRUE(a[i].type == b[i].type && a[i].name == b[i].name) << i;
        EXPECT_EQ(a[i].language, b[i].language) << i;
        EXPECT_EQ(a[i].bytes, b[i].bytes) << i;
        EXPECT_EQ(a[i].code_page, b[i].code_page) << i;
    }
}

TEST(PeImage, ReadsABaseOfEitherFileAlignment) {
    for (const std::uint32_t alignment : {512u, 4096u}) {
        TestBase shape;
        shape.file_alignment = alignment;
        shape.resources = test::sample_resources();
        shape.certificate = alignment == 512;
        BaseImage image;
        const auto refusal = read_base_image(make_test_base(shape), image);
        ASSERT_FALSE(refusal) << *refusal;
        EXPECT_EQ(image.file_alignment, alignment);
        ASSERT_EQ(image.sections.size(), 3u);
        EXPECT_EQ(image.sections[image.resource_section].name, ".rsrc");
        EXPECT_EQ(image.sections[image.relocation_section].name, ".reloc");
        EXPECT_EQ(image.had_signature, shape.certificate);
        expect_same_tree(shape.resources, image.resources);
    }
}

// Follows the first entry of each level to the first data entry; returns offsets in the file.
struct FirstPath {
    std::size_t root, type_entry, name_directory, data_entry;
};
FirstPath first_path(const std::vector<std::uint8_t>& file) {
    const test::SectionView rsrc = test::section_of(file, 1);
    FirstPath path{};
    path.root = rsrc.raw_offset;
    const std::size_t type_directory =
        rsrc.raw_offset + (test::u32(file, path.root + 20) & 0x7FFFFFFF);
    path.type_entry = type_directory + 16;
    path.name_directory = rsrc.raw_offset + (test::u32(file, path.type_entry + 4) & 0x7FFFFFFF);
    path.data_entry = rsrc.raw_offset + test::u32(file, path.name_directory + 20);
    return path;
}

void put32(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

TEST(PeImage, RefusesWhatIsNoSuchBase) {
    TestBase good;
    good.resources = test::sample_resources();
    const std::vector<std::uint8_t> base = make_test_base(good);
    const test::SectionView rsrc = test::section_of(base, 1);
    const FirstPath path = first_path(base);

    struct Case {
        const char* what;
        std::vector<std::uint8_t> file;
        const char* refusal_start;
    };
    std::vector<Case> cases;
    cases.push_back({"text", std::vector<std::uint8_t>(200, 'M'), "not a PE32+ image"});
    const auto variant = [&](auto change) {
        TestBase shape = good;
        change(shape);
        return make_test_base(shape);
    };
    cases.push_back({"PE32", variant([](TestBase& s) { s.pe32 = true; }), "not a PE32+ image"});
    cases.push_back({"symbols", variant([](TestBase& s) { s.symbols = true; }),
                     "it has a COFF symbol table (link it stripped)"});
    cases.push_back({"debug", variant([](TestBase& s) { s.section_after_rsrc = true; }),
                     "a section follows .rsrc other than .reloc: .debug"});
    cases.push_back({"no reloc", variant([](TestBase& s) { s.relocations = false; }),
                     "it has no .reloc section"});
    std::vector<std::uint8_t> trailing = base;
    trailing.push_back(0);
    cases.push_back({"trailing", trailing, "damaged: it has data after its last section"});
    std::vector<std::uint8_t> truncated(base.begin(), base.end() - 1);
    cases.push_back({"truncated", truncated, "damaged: section .reloc runs past"});
    // A name level that leads back to the types.
    std::vector<std::uint8_t> loop = base;
    put32(loop, path.type_entry + 4, 0x80000000u);
    cases.push_back({"loop", loop, "damaged: the resource directory loops"});
    // A data entry whose bytes end one past .rsrc's raw data.
    std::vector<std::uint8_t> outside = base;
    put32(outside, path.data_entry, rsrc.virtual_address + rsrc.raw_size - 4);
    put32(outside, path.data_entry + 4, 5);
    cases.push_back({"data outside", outside, "damaged: a resource's data lies outside .rsrc"});
    std::vector<std::uint8_t> many = base;
    many[path.root + 14] = 0xFF;
    many[path.root + 15] = 0xFF;
    cases.push_back({"entries past", many, "damaged: the resource directory runs past .rsrc"});
    std::vector<std::uint8_t> shallow = base;
    put32(shallow, path.type_entry + 4, test::u32(base, path.name_directory + 20));
    cases.push_back({"two levels", shallow, "damaged: the resource directory does not have"});

    for (const Case& c : cases) {
        BaseImage image;
        const auto refusal = read_base_image(c.file, image);
        ASSERT_TRUE(refusal) << c.what;
        EXPECT_EQ(refusal->rfind(c.refusal_start, 0), 0u) << c.what << ": " << *refusal;
        EXPECT_EQ(refusal->find('\n'), std::string::npos);
    }
}

} // namespace
} // namespace corvath::pack
