// Version resources: both blocks of our version.rc, as windres compiles them, are read and
// written back byte for byte; the packer's changes land where version readers look.
#include "version_info.h"
#include "windres_output.h"

#include <gtest/gtest.h>

namespace {

using namespace corvath::pack;

std::uint32_t u32_at(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
           (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

TEST(VersionInfo, OurBlocksRoundTripAndChangeAsWindresWouldWriteThem) {
    const auto base =
        pack_test::compile_with_windres(pack_test::version_script("8.2.0.5", "8, 2, 0, 0"));
    const auto expected =
        pack_test::compile_with_windres(pack_test::version_script("9.12.3.40", "9, 12, 0, 0"));
    ASSERT_TRUE(base && expected);
    for (const std::uint16_t language : {0, 1033}) {
        const auto* block = pack_test::find_compiled(*base, 16, 1, language);
        const auto* wanted = pack_test::find_compiled(*expected, 16, 1, language);
        ASSERT_TRUE(block && wanted) << language;
        auto root = read_version_info(block->bytes);
        ASSERT_TRUE(root) << language;
        EXPECT_EQ(write_version_info(*root), block->bytes) << language;

        // The packer's changes to a 8.2.0.5 base give what windres makes of a 9.12.3.40 one.
        const std::uint16_t target[4] = {9, 12, 3, 40};
        const std::uint16_t release[4] = {9, 12, 0, 0};
        if (language == 0) {
            EXPECT_TRUE(set_fixed_versions(*root, target, nullptr));
            EXPECT_TRUE(set_version_string(*root, u"FileVersion", u"9.12.3.40"));
            EXPECT_EQ(version_string(*root, u"Build Date"), u"01.02.2026");
        } else {
            EXPECT_TRUE(set_fixed_versions(*root, release, release));
            EXPECT_TRUE(set_version_string(*root, u"FileVersion", u"9, 12, 0, 0"));
            EXPECT_TRUE(set_version_string(*root, u"ProductVersion", u"9, 12, 0, 0"));
            EXPECT_FALSE(set_version_string(*root, u"Build Date", u"x"));
        }
        EXPECT_EQ(write_version_info(*root), wanted->bytes) << language;
    }
}

TEST(VersionInfo, TextsChangeLengthsAndDamageIsRefused) {
    const auto base =
        pack_test::compile_with_windres(pack_test::version_script("8.2.0.5", "8, 2, 0, 0"));
    ASSERT_TRUE(base);
    const auto* block = pack_test::find_compiled(*base, 16, 1, 0);
    ASSERT_TRUE(block);
    auto root = read_version_info(block->bytes);
    ASSERT_TRUE(root);

    // A longer and an odd-length text, and a key added: the lengths of every level follow.
    EXPECT_TRUE(set_version_string(*root, u"CompanyName", u"Lunmere Engineering Group"));
    EXPECT_TRUE(set_version_string(*root, u"Comments", u"abc", true));
    const auto written = write_version_info(*root);
    EXPECT_EQ(u32_at(written, 0) & 0xFFFF, written.size());
    const auto reread = read_version_info(written);
    ASSERT_TRUE(reread);
    EXPECT_EQ(version_string(*reread, u"CompanyName"), u"Lunmere Engineering Group");
    EXPECT_EQ(version_string(*reread, u"Comments"), u"abc");
    EXPECT_EQ(version_string(*reread, u"ProductName"), u"Corvath");
    EXPECT_EQ(write_version_info(*reread), written);

    // A text too long for the 16-bit lengths is refused, not wrapped.
    EXPECT_TRUE(set_version_string(*root, u"Comments", std::u16string(40000, u'x')));
    EXPECT_TRUE(write_version_info(*root).empty());

    std::vector<std::uint8_t> damaged = block->bytes;
    damaged[0x5C] = 0xFF; // the StringFileInfo node's length, past its parent
    damaged[0x5D] = 0xFF;
    EXPECT_FALSE(read_version_info(damaged));
    EXPECT_FALSE(read_version_info({block->bytes.begin(), block->bytes.begin() + 40}));
}

} // namespace
