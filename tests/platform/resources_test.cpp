// The resource calls of the Windows platform against the executable's own resources.
#include "payload/resource_store.h"
#include "platform/resources.h"

#include <gtest/gtest.h>

namespace {

using platform::ResourceNameFromId;
using platform::ResourceNameFromText;

TEST(Win32Resources, NamedAndNumberedLookups) {
    const platform::ResourceRef package = platform::FindResourceAnyLanguage(
        ResourceNameFromText(L"MSP"), ResourceNameFromText(L"IDR_MSP"));
    ASSERT_TRUE(package);
    EXPECT_EQ(platform::SizeOfResource(package), 16049664u);
    ASSERT_NE(platform::BytesOfResource(package), nullptr);
    EXPECT_EQ(std::to_integer<int>(platform::BytesOfResource(package)[0]), 0xD0);

    const platform::ResourceRef record = platform::FindResourceAnyLanguage(
        ResourceNameFromText(L"TXT"), ResourceNameFromText(L"#206"));
    ASSERT_TRUE(record);
    EXPECT_EQ(platform::SizeOfResource(record), 926u);
    EXPECT_FALSE(platform::FindResourceAnyLanguage(ResourceNameFromText(L"TXT"),
                                                   ResourceNameFromText(L"#207")));
}

TEST(Win32Resources, TheStoredLanguagesAreExact) {
    const auto type = ResourceNameFromText(L"MSP");
    const auto name = ResourceNameFromText(L"IDR_MSP");
    EXPECT_TRUE(platform::FindResourceInLanguage(type, name, 1046));
    EXPECT_FALSE(platform::FindResourceInLanguage(type, name, 1033));

    const auto strings = ResourceNameFromId(platform::kResourceTypeString);
    for (platform::LanguageId language :
         {1028, 1029, 1031, 1033, 1034, 1036, 1038, 1040, 1041, 1042, 1045, 1046, 1049, 2052}) {
        EXPECT_TRUE(platform::FindResourceInLanguage(strings, ResourceNameFromId(19), language))
            << language;
        EXPECT_TRUE(platform::FindResourceInLanguage(strings, ResourceNameFromId(20), language))
            << language;
        EXPECT_EQ(bool(platform::FindResourceInLanguage(strings, ResourceNameFromId(44), language)),
                  language == 1033)
            << language;
        EXPECT_EQ(bool(platform::FindResourceInLanguage(strings, ResourceNameFromId(57), language)),
                  language == 1033)
            << language;
    }
}

TEST(Win32Resources, StringsFollowTheMessageLanguageNotTheLoadersChoice) {
    std::wstring english;
    payload::SetMessageLanguage(1033);
    ASSERT_EQ(payload::LoadResString(312, english, 256), 23);
    EXPECT_EQ(english, L"Installation Successful");

    std::wstring german;
    payload::SetMessageLanguage(1031);
    ASSERT_GT(payload::LoadResString(312, german, 256), 0);
    EXPECT_NE(german, english);

    std::wstring versions;
    EXPECT_EQ(payload::LoadResString(900, versions, 256), 8);
    EXPECT_EQ(versions, L"8.1.0.4,");
    EXPECT_EQ(payload::LoadResString(700, versions, 256), 7);
    EXPECT_EQ(versions, L"8.2.0.5");

    payload::SetMessageLanguage(0x0413); // a language the pack does not carry
    std::wstring fallback;
    payload::LoadResString(312, fallback, 256);
    EXPECT_EQ(fallback, english);
    payload::ResetMessageLanguage();
}

} // namespace
