// String tables: the packer's blocks are byte for byte what windres writes, and what it reads
// back is what was written, gaps and the last id of a block included.
#include "string_blocks.h"
#include "windres_output.h"

#include <gtest/gtest.h>

namespace {

using namespace corvath::pack;
using Texts = std::map<std::uint16_t, std::u16string>;

TEST(StringBlocks, MatchWindresAndReadBack) {
    // Block 2 has gaps and its last id (31); block 20 only its first; ids 48 to 63 are absent.
    const auto compiled = pack_test::compile_with_windres("#pragma code_page(65001)\n"
                                                          "LANGUAGE 7, 1\n"
                                                          "STRINGTABLE\nBEGIN\n"
                                                          "  17 \"ab\"\n"
                                                          "  20 \"Grüße %s\"\n"
                                                          "  31 \"last\"\n"
                                                          "  304 \"版本\"\n"
                                                          "END\n");
    ASSERT_TRUE(compiled);
    const Texts texts = {{17, u"ab"}, {20, u"Grüße %s"}, {31, u"last"}, {304, u"版本"}};
    ResourceTree tree;
    set_strings_of_language(tree, 1031, texts);
    ASSERT_EQ(tree.size(), 2u);
    for (const Resource& block : tree) {
        const auto* expected =
            pack_test::find_compiled(*compiled, kTypeString, block.name.id, 1031);
        ASSERT_NE(expected, nullptr) << block.name.id;
        EXPECT_EQ(block.bytes, expected->bytes) << "block " << block.name.id;
        EXPECT_EQ(block.bytes.size() % 2, 0u);
    }
    EXPECT_EQ(strings_of_language(tree, 1031), texts);
    EXPECT_TRUE(strings_of_language(tree, 1033).empty());

    // Writing a language anew replaces its blocks: none is left over, none doubled.
    set_strings_of_language(tree, 1031, {{31, u"only"}});
    ASSERT_EQ(tree.size(), 1u);
    EXPECT_EQ(strings_of_language(tree, 1031), (Texts{{31, u"only"}}));
}

TEST(StringBlocks, DamagedBlocksAreRefused) {
    std::vector<std::uint8_t> bytes = encode_string_block(1, {{3, u"abc"}});
    EXPECT_TRUE(decode_string_block(1, bytes));
    EXPECT_FALSE(decode_string_block(0, bytes));
    EXPECT_FALSE(decode_string_block(4097, bytes));

    std::vector<std::uint8_t> truncated(bytes.begin(), bytes.begin() + 12); // inside "abc"
    EXPECT_FALSE(decode_string_block(1, truncated));
    std::vector<std::uint8_t> longer = bytes;
    longer.insert(longer.end(), {'x', 0});
    EXPECT_FALSE(decode_string_block(1, longer));

    ResourceTree tree;
    set_strings_of_language(tree, 1033, {{3, u"abc"}});
    EXPECT_TRUE(string_tables_sound(tree, 1033));
    tree.front().bytes = truncated;
    EXPECT_FALSE(string_tables_sound(tree, 1033));
}

} // namespace
