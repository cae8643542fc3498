#include "pack_image.h"
#include "rsrc_section.h"
#include "test_base_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace corvath::pack {
namespace {

using test::make_test_base;
using test::section_of;
using test::u16;
using test::u32;

std::vector<std::uint8_t> contents(std::FILE* file) {
    std::vector<std::uint8_t> bytes;
    std::rewind(file);
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
        bytes.push_back(static_cast<std::uint8_t>(c));
    }
    return bytes;
}

// CheckSumMappedFile's sum, word by word, over a whole file.
std::uint32_t plain_checksum(std::vector<std::uint8_t> file, std::size_t field) {
    std::fill_n(file.begin() + static_cast<std::ptrdiff_t>(field), 4, 0);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < file.size(); i += 2) {
        sum += file[i] | (i + 1 < file.size() ? file[i + 1] << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<std::uint32_t>(sum + file.size());
}

struct Leaf {
    ResourceKey type, name;
    std::uint16_t language;
    std::uint32_t rva, size;
};

ResourceKey entry_key(const std::vector<std::uint8_t>& file, std::size_t section,
                      std::uint32_t field) {
    if ((field & 0x80000000u) == 0) {
        return key_of(static_cast<std::uint16_t>(field));
    }
    const std::size_t at = section + (field & 0x7FFFFFFF);
    std::u16string text;
    for (std::size_t i = 0; i < u16(file, at); ++i) {
        text.push_back(static_cast<char16_t>(u16(file, at + 2 + i * 2)));
    }
    return key_of(text);
}

// Walks the directory, checking at every level the counts and Windows' order of the entries.
void walk(const std::vector<std::uint8_t>& file, std::size_t section, std::uint32_t offset,
          int level, Leaf path, std::vector<Leaf>& leaves) {
    const std::size_t at = section + offset;
    const std::size_t named = u16(file, at + 12);
    const std::size_t count = named + u16(file, at + 14);
    std::vector<ResourceKey> keys;
    for (std::size_t e = 0; e < count; ++e) {
        const std::size_t entry = at + 16 + e * 8;
        const ResourceKey key = entry_key(file, section, u32(file, entry));
        EXPECT_EQ((u32(file, entry) & 0x80000000u) != 0, e < named) << "level " << level;
        if (!keys.empty()) {
            EXPECT_TRUE(level == 2 ? keys.back().id < key.id
                                   : directory_order(keys.back(), key) < 0)
                << "level " << level;
        }
        keys.push_back(key);
        const std::uint32_t target = u32(file, entry + 4);
        if (level == 0) {
            path.type = key;
        } else if (level == 1) {
            path.name = key;
        } else {
            path.language = key.id;
        }
        if (level < 2) {
            ASSERT_NE(target & 0x80000000u, 0u);
            walk(file, section, target & 0x7FFFFFFF, level + 1, path, leaves);
        } else {
            path.rva = u32(file, section + target);
            path.size = u32(file, section + target + 4);
            leaves.push_back(path);
        }
    }
}

struct Pack {
    test::TestBase shape;
    BaseImage base;
    ResourceTree tree;
    PackLayout layout;
    std::vector<std::uint8_t> file;
};

Resource streamed_patch(std::uint32_t size) {
    Resource patch{key_of(u"MSP"), key_of(u"IDR_MSP"), kLanguagePortugueseBrazil, {}};
    patch.streamed = true;
    patch.streamed_size = size;
    return patch;
}

std::uint8_t patch_byte(std::size_t i) {
    return static_cast<std::uint8_t>(i * 31 + i / 251);
}

TEST(PackImage, WritesAPackThatReadsBackWithEveryHeaderRight) {
    Pack pack;
    pack.shape.resources = test::sample_resources();
    pack.shape.certificate = true;
    const std::vector<std::uint8_t> base_file = make_test_base(pack.shape);
    ASSERT_FALSE(read_base_image(base_file, pack.base));
    constexpr std::uint32_t kPatchSize = 10 * 1024 + 17;
    pack.tree = pack.base.resources;
    pack.tree.push_back(streamed_patch(kPatchSize));
    pack.tree.push_back(
        {key_of(kTypeString), key_of(44), kLanguageEnglishUs, std::vector<std::uint8_t>(70, 'x')});
    const auto refusal = lay_out_pack(pack.base, pack.tree, pack.layout);
    ASSERT_FALSE(refusal) << *refusal;

    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    PackOutput out{file, {}, 0};
    ASSERT_TRUE(write_pack_head(out, pack.layout));
    std::vector<std::uint8_t> patch(kPatchSize);
    for (std::size_t i = 0; i < patch.size(); ++i) {
        patch[i] = patch_byte(i);
    }
    const std::size_t blocks[] = {1, 7, 333, 4096, 1000};
    for (std::size_t at = 0, b = 0; at < patch.size(); ++b) {
        const std::size_t size = std::min(blocks[b % 5], patch.size() - at);
        ASSERT_TRUE(write_pack_bytes(out, patch.data() + at, size));
        at += size;
    }
    // The digest's final bytes are known only now.
    ResourceTree final_tree = pack.tree;
    find_resource(final_tree, key_of(kTypeString), key_of(44), kLanguageEnglishUs)
        ->bytes.assign(70, 'y');
    ASSERT_TRUE(write_pack_tail(out, pack.base, pack.layout, final_tree));
    pack.file = contents(file);
    std::fclose(file);
    ASSERT_EQ(pack.file.size(), pack.layout.file_size);

    // Round trip: the pack is itself an image the reader takes, with the same resources.
    BaseImage reread;
    const auto reread_refusal = read_base_image(pack.file, reread);
    ASSERT_FALSE(reread_refusal) << *reread_refusal;
    EXPECT_FALSE(reread.had_signature);
    ResourceTree expected = final_tree;
    Resource* msp = find_resource(expected, key_of(u"MSP"), key_of(u"IDR_MSP"), 1046);
    msp->streamed = false;
    msp->bytes = patch;
    sort_for_directory(expected);
    ResourceTree actual = reread.resources;
    sort_for_directory(actual);
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_TRUE(actual[i].type == expected[i].type && actual[i].name == expected[i].name &&
                    actual[i].language == expected[i].language &&
                    actual[i].bytes == expected[i].bytes &&
                    actual[i].code_page == expected[i].code_page)
            << i;
    }

    const std::size_t optional = test::optional_header(pack.file);
    const test::SectionView rsrc = section_of(pack.file, 1);
    const test::SectionView reloc = section_of(pack.file, 2);
    const test::SectionView base_reloc = section_of(base_file, 2);
    std::vector<Leaf> leaves;
    walk(pack.file, rsrc.raw_offset, 0, 0, Leaf{}, leaves);
    ASSERT_EQ(leaves.size(), pack.tree.size());
    const auto patch_leaf = std::find_if(
        leaves.begin(), leaves.end(), [](const Leaf& leaf) { return leaf.type == key_of(u"MSP"); });
    ASSERT_NE(patch_leaf, leaves.end());
    const std::uint64_t patch_offset = patch_leaf->rva - rsrc.virtual_address + rsrc.raw_offset;
    EXPECT_EQ(patch_offset % 4096, 0u);
    EXPECT_EQ(patch_leaf->rva % 4096, 0u);
    EXPECT_EQ(patch_offset, pack.layout.streamed_offset);
    for (const Leaf& leaf : leaves) {
        if (leaf.rva != patch_leaf->rva) {
            EXPECT_GT(leaf.rva, patch_leaf->rva);
            EXPECT_EQ(leaf.rva % 8, 0u);
        }
    }

    // .reloc moved after .rsrc with the same bytes, and the headers that say so.
    EXPECT_EQ(reloc.virtual_address, (rsrc.virtual_address + rsrc.virtual_size + 0xFFF) & ~0xFFFu);
    EXPECT_EQ(reloc.raw_offset, rsrc.raw_offset + rsrc.raw_size);
    EXPECT_EQ(rsrc.raw_size % 512, 0u);
    EXPECT_TRUE(std::equal(pack.file.begin() + reloc.raw_offset,
                           pack.file.begin() + reloc.raw_offset + base_reloc.raw_size,
                           base_file.begin() + base_reloc.raw_offset));
    EXPECT_EQ(u32(pack.file, optional + 112 + 5 * 8), reloc.virtual_address);
    EXPECT_EQ(u32(pack.file, optional + 112 + 5 * 8 + 4), 12u);
    EXPECT_EQ(u32(pack.file, optional + 112 + 2 * 8), rsrc.virtual_address);
    EXPECT_EQ(u32(pack.file, optional + 112 + 2 * 8 + 4), rsrc.virtual_size);
    EXPECT_EQ(u32(pack.file, optional + 112 + 4 * 8 + 4), 0u);
    EXPECT_EQ(u32(pack.file, optional + 56), reloc.virtual_address + 0x1000);
    EXPECT_EQ(u32(pack.file, optional + 8), rsrc.raw_size + reloc.raw_size);
    EXPECT_EQ(pack.file.size(), std::size_t{reloc.raw_offset} + reloc.raw_size);
    EXPECT_EQ(u32(pack.file, optional + 64), plain_checksum(pack.file, optional + 64));
    // Everything before .rsrc is the base's: the time stamp, .text's header and its bytes.
    const std::size_t table = optional + 240;
    const test::SectionView text = section_of(base_file, 0);
    EXPECT_TRUE(std::equal(base_file.begin(), base_file.begin() + optional + 8, pack.file.begin()));
    EXPECT_TRUE(std::equal(base_file.begin() + table, base_file.begin() + table + 40,
                           pack.file.begin() + table));
    EXPECT_TRUE(std::equal(base_file.begin() + text.raw_offset,
                           base_file.begin() + text.raw_offset + text.raw_size,
                           pack.file.begin() + text.raw_offset));
}

TEST(PackImage, RefusesWhatCannotBeLaidOrWritten) {
    test::TestBase shape;
    shape.resources = test::sample_resources();
    BaseImage base;
    ASSERT_FALSE(read_base_image(make_test_base(shape), base));
    PackLayout layout;

    ResourceTree two = base.resources;
    two.push_back(streamed_patch(10));
    two.push_back(streamed_patch(10));
    two.back().name = key_of(u"OTHER");
    EXPECT_TRUE(lay_out_pack(base, two, layout));
    ResourceTree twice = base.resources;
    twice.push_back(twice.front());
    EXPECT_TRUE(lay_out_pack(base, twice, layout));
    ResourceTree huge = base.resources;
    huge.push_back(streamed_patch(0xFFFFF000u));
    const auto too_large = lay_out_pack(base, huge, layout);
    ASSERT_TRUE(too_large);
    EXPECT_NE(too_large->find("4 GiB"), std::string::npos);

    // The tail refuses a resource whose size changed since the layout, and a short patch.
    ResourceTree tree = base.resources;
    tree.push_back(streamed_patch(5000));
    ASSERT_FALSE(lay_out_pack(base, tree, layout));
    const std::vector<std::uint8_t> patch(5000, 0xAB);
    for (const bool short_patch : {false, true}) {
        std::FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        PackOutput out{file, {}, 0};
        ASSERT_TRUE(write_pack_head(out, layout));
        ASSERT_TRUE(write_pack_bytes(out, patch.data(), patch.size() - short_patch));
        ResourceTree changed = tree;
        if (!short_patch) {
            changed.front().bytes.push_back(0);
        }
        EXPECT_FALSE(write_pack_tail(out, base, layout, changed)) << short_patch;
        std::fclose(file);
    }
}

} // namespace
} // namespace corvath::pack
