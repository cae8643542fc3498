// The catalogue as the executable carries it: every language complete and consistent.
#include "messages/message_ids.h"
#include "payload/resource_store.h"
#include "platform/resources.h"

#include "platform/files.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace {

struct Language {
    platform::LanguageId id;
    const char* tag; // its source: resources/strings/<tag>.rc
};
constexpr Language kLanguages[] = {
    {1028, "zh-TW"}, {1029, "cs-CZ"}, {1031, "de-DE"}, {1033, "en-US"}, {1034, "es-ES"},
    {1036, "fr-FR"}, {1038, "hu-HU"}, {1040, "it-IT"}, {1041, "ja-JP"}, {1042, "ko-KR"},
    {1045, "pl-PL"}, {1046, "pt-BR"}, {1049, "ru-RU"}, {2052, "zh-CN"}};
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

// Every entry a box may show: the messages and the help's parts, in order.
std::vector<unsigned> ShownIds() {
    std::vector<unsigned> shown(std::begin(kCatalogueIds), std::end(kCatalogueIds));
    for (unsigned id : messages::kHelpParts) {
        shown.insert(std::upper_bound(shown.begin(), shown.end(), id), id);
    }
    return shown;
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

// The quoted entries of one language's source as a resource compiler must store them: UTF-8
// read as UTF-8, "\n" a line feed. Other lines (comments, directives, the English entries
// given by macros) are not entries. An escape the catalogue does not use fails the read, so that
// a new one is checked here before it is trusted.
::testing::AssertionResult ReadSourceEntries(const char* tag,
                                             std::map<unsigned, std::wstring>& entries) {
    const std::string path = std::string(CORVATH_CATALOGUE_SOURCES) + "/" + tag + ".rc";
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return ::testing::AssertionFailure() << "cannot read " << path;
    }
    const std::regex entry(R"re(^\s*([0-9]+)\s+"(.*)"\s*$)re");
    std::string line;
    while (std::getline(file, line)) {
        std::smatch match;
        if (!std::regex_match(line, match, entry)) {
            continue;
        }
        const std::string quoted = match[2];
        std::string text;
        for (std::size_t i = 0; i < quoted.size(); ++i) {
            if (quoted[i] != '\\') {
                text += quoted[i];
            } else if (i + 1 < quoted.size() && quoted[i + 1] == 'n') {
                text += '\n';
                ++i;
            } else {
                return ::testing::AssertionFailure()
                       << path << ": an escape the catalogue does not use: " << line;
            }
        }
        entries[static_cast<unsigned>(std::stoul(match[1]))] = platform::FromUtf8(text);
    }
    return ::testing::AssertionSuccess();
}

TEST(MessageCatalogue, EveryLanguageHasEveryMessageWithinTheLimit) {
    for (const auto& [language, tag] : kLanguages) {
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
    for (unsigned id : ShownIds()) {
        std::wstring english;
        ASSERT_TRUE(StoredText(1033, id, english));
        for (const auto& [language, tag] : kLanguages) {
            std::wstring text;
            ASSERT_TRUE(StoredText(language, id, text));
            const std::wstring expected =
                (language == 1045 && id == 301) ? L"%s" : Placeholders(english);
            EXPECT_EQ(Placeholders(text), expected) << "language " << language << " id " << id;
        }
    }
}

TEST(MessageCatalogue, NoLanguageCarriesTheEnglishText) {
    for (unsigned id : ShownIds()) {
        std::wstring english;
        ASSERT_TRUE(StoredText(1033, id, english));
        for (const auto& [language, tag] : kLanguages) {
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
    const std::wstring switches[] = {L"/q ",   L"/passive ",   L"/quiet ", L"/norestart ",
                                     L"/log ", L"/logstyle ",  L"/e ",     L"/p ",
                                     L"/i ",   L"/uninstall ", L"/? "};
    for (const auto& [language, tag] : kLanguages) {
        std::wstring text;
        for (unsigned id : messages::kHelpParts) {
            std::wstring part;
            ASSERT_TRUE(StoredText(language, id, part)) << language << " id " << id;
            EXPECT_LT(part.size(), static_cast<std::size_t>(messages::kHelpCapacity))
                << language << " id " << id;
            text += L"\n" + part;
        }
        EXPECT_NE(text.find(L"1639"), std::wstring::npos) << language << ": anything else refused";
        std::size_t at = 0;
        for (const std::wstring& name : switches) {
            at = text.find(L"\n" + name, at);
            EXPECT_NE(at, std::wstring::npos) << "language " << language << ": " << name;
        }
        EXPECT_NE(text.find(L" /h "), std::wstring::npos) << language;
    }
}

// The sample's release name in 308 for one language, from the file the sample is packed with.
::testing::AssertionResult ReadReleaseName(platform::LanguageId language, std::wstring& name) {
    std::ifstream file(CORVATH_RELEASE_NAMES, std::ios::binary);
    std::string line;
    const std::string prefix = std::to_string(language) + "=";
    while (std::getline(file, line)) {
        if (line.ends_with('\r')) {
            line.pop_back();
        }
        if (line.starts_with(prefix)) {
            name = platform::FromUtf8(line.substr(prefix.size()));
            return ::testing::AssertionSuccess();
        }
    }
    return ::testing::AssertionFailure() << "no release name for " << language;
}

TEST(MessageCatalogue, EveryShownTextIsStoredExactlyAsItsSourceReads) {
    // A resource compiler that read a UTF-8 source in another code page would store every
    // character outside ASCII as others, and say nothing. 308 carries the release name the
    // sample is packed with, and the base's default for it (1308) is not in a pack.
    const std::vector<unsigned> shown = ShownIds();
    for (const auto& [language, tag] : kLanguages) {
        std::map<unsigned, std::wstring> sources;
        ASSERT_TRUE(ReadSourceEntries(tag, sources));
        std::wstring release;
        ASSERT_TRUE(ReadReleaseName(language, release));
        std::vector<unsigned> ids;
        for (auto& [id, source] : sources) {
            std::wstring stored;
            if (id == 1308) {
                EXPECT_FALSE(StoredText(language, id, stored)) << tag << " id " << id;
                continue;
            }
            if (id == 308) {
                const auto marker = source.find(L"{release}");
                ASSERT_NE(marker, std::wstring::npos) << tag;
                source.replace(marker, 9, release);
            }
            ids.push_back(id);
            EXPECT_TRUE(StoredText(language, id, stored)) << tag << " id " << id;
            EXPECT_EQ(stored, source) << tag << " id " << id;
        }
        EXPECT_EQ(ids, shown) << tag << ": the shown entries of its source";
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
    for (const auto& [language, tag] : kLanguages) {
        if (language != 1033) {
            EXPECT_FALSE(StoredText(language, 700, text)) << language;
            EXPECT_FALSE(StoredText(language, 900, text)) << language;
            EXPECT_FALSE(StoredText(language, 701, text)) << language;
        }
    }
}

} // namespace
