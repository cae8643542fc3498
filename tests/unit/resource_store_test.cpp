#include "payload/resource_store.h"
#include "platform/host/simulation.h"
#include "test_support.h"

namespace {

using platform::host::TheSimulation;

class ResourceStore : public testing_support::FreshProcess {};

TEST_F(ResourceStore, RecordsAreFoundByTheirNumberedNames) {
    const platform::ResourceRef record = payload::FindResourceEntry(L"TXT", L"#206");
    ASSERT_TRUE(record);
    EXPECT_EQ(payload::ResourceSize(record), 926u);
    EXPECT_FALSE(payload::FindResourceEntry(L"TXT", L"#207"));
    EXPECT_FALSE(payload::FindResourceEntry(L"TXT", L"206"));
}

TEST_F(ResourceStore, ThePackageIsFoundWhateverTheUsersLanguage) {
    for (platform::LanguageId language : {1033, 1031, 1041, 1046, 0x0413}) {
        TheSimulation().userUiLanguage = language;
        const platform::ResourceRef package = payload::FindResourceEntry(L"MSP", L"IDR_MSP");
        EXPECT_EQ(payload::ResourceSize(package), 16049664u) << language;
        ASSERT_NE(payload::ResourceBytes(package), nullptr);
        EXPECT_EQ(std::to_integer<int>(payload::ResourceBytes(package)[0]), 0xD0);
    }
}

TEST_F(ResourceStore, AMissingEntryReadsAsEmptyAndReplacesTheDestination) {
    for (unsigned id : {302u, 305u, 314u, 999u, 70000u}) {
        std::wstring text = L"old";
        EXPECT_EQ(payload::LoadResString(id, text, 256), 0) << id;
        EXPECT_TRUE(text.empty()) << id;
    }
}

TEST_F(ResourceStore, EntriesAreCutToTheCapacity) {
    std::wstring text;
    EXPECT_EQ(payload::LoadResString(311, text, 256), 18);
    EXPECT_EQ(text, L"Installation Error");
    EXPECT_EQ(payload::LoadResString(311, text, 6), 5);
    EXPECT_EQ(text, L"Insta");
    EXPECT_EQ(payload::LoadResString(311, text, 1), 0);
    EXPECT_TRUE(text.empty());
}

TEST_F(ResourceStore, VersionEntriesResolveUnderAnyMessageLanguage) {
    for (platform::LanguageId language : {1033, 1031, 1041, 0x0413}) {
        payload::SetMessageLanguage(language);
        std::wstring text;
        EXPECT_EQ(payload::LoadResString(900, text, 256), 8) << language;
        EXPECT_EQ(text, L"8.1.0.4,");
        EXPECT_EQ(payload::LoadResString(700, text, 256), 7) << language;
        EXPECT_EQ(text, L"8.2.0.5");
    }
}

TEST_F(ResourceStore, TheMessageLanguageStartsAsTheUsersAndFallsBackToEnglish) {
    TheSimulation().userUiLanguage = 1036;
    std::wstring french;
    payload::LoadResString(311, french, 256);
    EXPECT_NE(french, L"Installation Error");

    payload::SetMessageLanguage(0x0C0C); // French (Canada): no table, the French one serves
    std::wstring text;
    payload::LoadResString(311, text, 256);
    EXPECT_EQ(text, french);

    payload::SetMessageLanguage(0x0413); // Dutch: not carried
    payload::LoadResString(311, text, 256);
    EXPECT_EQ(text, L"Installation Error");

    payload::ResetMessageLanguage();
    payload::LoadResString(311, text, 256);
    EXPECT_EQ(text, french);
}

TEST(LanguageChain, EndsInUsEnglishWithoutRepeats) {
    const payload::LanguageChain chain = payload::LanguagesToTry(0x0C07);
    ASSERT_EQ(chain.count, 3);
    EXPECT_EQ(chain.languages[0], 0x0C07);
    EXPECT_EQ(chain.languages[1], 0x0407);
    EXPECT_EQ(chain.languages[2], 1033);
    EXPECT_EQ(payload::LanguagesToTry(1033).count, 1);
    EXPECT_EQ(payload::LanguagesToTry(1031).count, 2);
}

TEST(LanguageChain, ChineseVariantsReadTheTableOfTheirScript) {
    // Singapore and zh-Hans read Simplified; Hong Kong, Macao and zh-Hant read Traditional.
    ASSERT_NE(payload::LanguagesToTry(0x1004).languages[1], 1028);
    const std::pair<platform::LanguageId, platform::LanguageId> rows[] = {
        {0x1004, 2052}, {0x0004, 2052}, {0x0C04, 1028}, {0x1404, 1028}, {0x7C04, 1028},
        {0x0804, 2052}, {0x0404, 1028}, {0x3C04, 1028}, // unknown regions: the default
    };
    for (const auto& [language, table] : rows) {
        payload::SetMessageLanguage(table);
        std::wstring expected;
        payload::LoadResString(301, expected, 256);
        payload::SetMessageLanguage(language);
        std::wstring text;
        payload::LoadResString(301, text, 256);
        EXPECT_EQ(text, expected) << std::hex << language;
    }
    payload::ResetMessageLanguage();
}

TEST(StringBlock, MalformedBlocksFindNothing) {
    // Entry 0 claims 5 characters, but only 2 bytes follow.
    const std::byte truncated[] = {std::byte{5}, std::byte{0}, std::byte{'a'}, std::byte{0}};
    std::wstring text;
    EXPECT_FALSE(payload::FindStringInBlock(truncated, sizeof truncated, 0, text));
    EXPECT_FALSE(payload::FindStringInBlock(truncated, 1, 0, text));
    // Sixteen empty entries: a valid block holding nothing.
    const std::byte empty[32] = {};
    EXPECT_FALSE(payload::FindStringInBlock(empty, sizeof empty, 3, text));
    const std::byte one[] = {std::byte{0}, std::byte{0},   std::byte{1},
                             std::byte{0}, std::byte{'x'}, std::byte{0}};
    EXPECT_TRUE(payload::FindStringInBlock(one, sizeof one, 17, text)); // id 17: entry 1
    EXPECT_EQ(text, L"x");
}

} // namespace
