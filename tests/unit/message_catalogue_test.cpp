// The catalogue as the executable carries it: every language complete and consistent.
#include "payload/resource_store.h"
#include "platform/resources.h"

#include <gtest/gtest.h>
#include <string>

namespace {

constexpr platform::LanguageId kLanguages[] = {1028, 1029, 1031, 1033, 1034, 1036, 1038,
                                               1040, 1041, 1042, 1045, 1046, 1049, 2052};
constexpr unsigned kCatalogueIds[] = {300, 301, 306, 307, 308, 309, 310, 311,
                                      312, 313, 315, 316, 318, 319, 320, 321};

// The entry exactly as stored in one language's table, without any fallback.
bool StoredText(platform::LanguageId language, unsigned id, std::wstring& text) {
    const platform::ResourceRef block = platform::FindResourceInLanguage(
        platform::ResourceNameFromId(platform::kResourceTypeString),
        platform::ResourceNameFromId(static_cast<std::uint16_t>(id / 16 + 1)), language);
    return block && payload::FindStringInBlock(platform::BytesOfResource(block),
                                               platform::SizeOfResource(block), id, text);
}

// The placeholders of a text, in order: "%d%s" for "... %d ... %s ...".
std::wstring Placeholders(const std::wstring& text) {
    std::wstring found;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == L'%') {
            found += text.substr(i, 2);
            ++i;
        }
    }
    return found;
}

TEST(MessageCatalogue, EveryLanguageHasEveryMessageWithinTheLimit) {
    for (platform::LanguageId language : kLanguages) {
        for (unsigned id : kCatalogueIds) {
            std::wstring text;
            ASSERT_TRUE(StoredText(language, id, text)) << "language " << language << " id " << id;
            EXPECT_LE(text.size(), 243u) << "language " << language << " id " << id;
        }
        for (unsigned id : {302u, 303u, 304u, 305u, 314u}) {
            std::wstring text;
            EXPECT_FALSE(StoredText(language, id, text)) << "language " << language << " id " << id;
        }
    }
}

TEST(MessageCatalogue, TranslationsKeepTheEnglishPlaceholders) {
    for (unsigned id : kCatalogueIds) {
        std::wstring english;
        ASSERT_TRUE(StoredText(1033, id, english));
        for (platform::LanguageId language : kLanguages) {
            std::wstring text;
            ASSERT_TRUE(StoredText(language, id, text));
            const std::wstring expected =
                (language == 1045 && id == 301) ? L"%s" : Placeholders(english);
            EXPECT_EQ(Placeholders(text), expected) << "language " << language << " id " << id;
        }
    }
}

TEST(MessageCatalogue, NoLanguageCarriesTheEnglishText) {
    for (unsigned id : kCatalogueIds) {
        std::wstring english;
        ASSERT_TRUE(StoredText(1033, id, english));
        for (platform::LanguageId language : kLanguages) {
            std::wstring text;
            ASSERT_TRUE(StoredText(language, id, text));
            if (language != 1033) {
                EXPECT_NE(text, english) << "language " << language << " id " << id;
            }
        }
    }
}

TEST(MessageCatalogue, EveryLanguageListsEverySwitchInItsHelp) {
    // Translated around the switches, never the switches: a line each, in the English order.
    const std::wstring switches[] = {L"/q ", L"/norestart ", L"/log ",       L"/e ",
                                     L"/p ", L"/i ",         L"/uninstall ", L"/? "};
    for (platform::LanguageId language : kLanguages) {
        std::wstring text;
        ASSERT_TRUE(StoredText(language, 317, text)) << language;
        EXPECT_LT(text.size(), 1024u) << language;
        std::size_t at = 0;
        for (const std::wstring& name : switches) {
            at = text.find(L"\n" + name, at);
            EXPECT_NE(at, std::wstring::npos) << "language " << language << ": " << name;
        }
        EXPECT_NE(text.find(L" /h "), std::wstring::npos) << language;
    }
}

TEST(MessageCatalogue, VersionEntriesExistInUsEnglishOnly) {
    std::wstring text;
    ASSERT_TRUE(StoredText(1033, 700, text));
    EXPECT_EQ(text, L"8.2.0.5");
    ASSERT_TRUE(StoredText(1033, 900, text));
    EXPECT_EQ(text, L"8.1.0.4,");
    ASSERT_TRUE(StoredText(1033, 701, text));
    EXPECT_EQ(text.size(), 64u) << "the patch's SHA-256, in hexadecimal";
    for (platform::LanguageId language : kLanguages) {
        if (language != 1033) {
            EXPECT_FALSE(StoredText(language, 700, text)) << language;
            EXPECT_FALSE(StoredText(language, 900, text)) << language;
            EXPECT_FALSE(StoredText(language, 701, text)) << language;
        }
    }
}

} // namespace
