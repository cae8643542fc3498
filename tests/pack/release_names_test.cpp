// The release names file and message 308: what a release engineer writes (with a BOM, CR LF,
// hex ids) is read; a line the packer cannot take is refused with its number; a % in a name
// stays a % when the run formats 308.
#include "release_names.h"
#include "utf.h"

#include <gtest/gtest.h>

namespace {

using namespace corvath::pack;
using Names = std::map<std::uint16_t, std::u16string>;

TEST(ReleaseNames, GoodFilesAreRead) {
    Names names;
    EXPECT_FALSE(read_release_names("\xEF\xBB\xBF# the sample's names\r\n"
                                    "1033=Update 1 (Version 2.1)\r\n"
                                    "\r\n"
                                    "0x0407 = Update 1 (Version 2.1) \r\n"
                                    "1042=Update 1(버전 2.1)", // no line end at the end
                                    names));
    EXPECT_EQ(names, (Names{{1033, u"Update 1 (Version 2.1)"},
                            {1031, u"Update 1 (Version 2.1)"},
                            {1042, u"Update 1(버전 2.1)"}}));
}

TEST(ReleaseNames, BadLinesAreRefusedWithTheirNumber) {
    const struct {
        const char* file;
        const char* refusal;
    } cases[] = {
        {"1033=a\nUpdate 2\n", "line 2: not LANGID=text"},
        {"en-US=a\n", "line 1: the language id"},
        {"70000=a\n", "line 1: the language id"},
        {"0x=a\n", "line 1: the language id"},
        {"1033=\n", "line 1: no text"},
        {"1033=a\n0x409=b\n", "line 2: language 1033 given twice"},
        {"1033=a\n1031=Gr\xC3\n", "line 2: the text is not UTF-8"},
        {"1033=\xC0\xAF\n", "line 1: the text is not UTF-8"}, // overlong
        {"1033=a\tb\n", "line 1: a control character"},
    };
    for (const auto& bad : cases) {
        Names names{{1, u"stale"}};
        const auto refusal = read_release_names(bad.file, names);
        ASSERT_TRUE(refusal) << bad.file;
        EXPECT_NE(refusal->find(bad.refusal), std::string::npos) << *refusal;
        EXPECT_TRUE(names.empty()) << bad.file;
    }
}

TEST(ReleaseNames, Message308TakesTheNameWithItsPercentSignsDoubled) {
    EXPECT_EQ(compose_message_308(u"designed for %s - {release}.", u"SP 100% (2.1)"),
              u"designed for %s - SP 100%% (2.1).");
    EXPECT_EQ(compose_message_308(u"%s - {release}용이므로 {release}", u"%%"),
              u"%s - %%%%용이므로 %%%%");
    EXPECT_EQ(compose_message_308(u"no marker", u"x"), u"no marker");
}

TEST(Utf, ConversionsRoundTripAndRefuseWhatIsNotUtf8) {
    const std::string text = "Grüße 版本 \xF0\x9F\x98\x80";
    const auto wide = utf16_from_utf8(text);
    ASSERT_TRUE(wide);
    EXPECT_EQ(*wide, u"Grüße 版本 \U0001F600");
    EXPECT_EQ(utf8_from_utf16(*wide), text);
    for (const char* bad :
         {"\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE0\x80\xAF", "\x80", "\xE6\x9C"}) {
        EXPECT_FALSE(utf16_from_utf8(bad)) << bad;
    }
    EXPECT_EQ(utf8_from_utf16(u"a\xD800z"), "a\xEF\xBF\xBDz");
}

} // namespace
