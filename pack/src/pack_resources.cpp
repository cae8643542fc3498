#include "pack_resources.h"

#include "release_names.h"
#include "string_blocks.h"
#include "utf.h"
#include "version_info.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace corvath::pack {
namespace {

constexpr std::uint16_t kWrongReleaseId = 308;
constexpr std::uint16_t kTargetVersionId = 700;
constexpr std::uint16_t kPatchSha256Id = 701;
constexpr std::uint16_t kPatchCodeId = 702;
constexpr std::uint16_t kApplicableVersionsId = 900;
constexpr std::uint16_t kVersionResourceId = 1;
// The run loads 308 into a buffer of 256 units, terminator included.
constexpr std::size_t kMaxMessage308 = 255;
constexpr std::size_t kMaxStringEntry = 0xFFFF;

const std::u16string kMarkerName = u"CORVATH_SP_BASE";
const std::u16string kPatchType = u"MSP";
const std::u16string kPatchName = u"IDR_MSP";
const std::u16string kRecordType = u"TXT";
const std::u16string kUpgradedCodesName = u"UPGRADED_CODES";

bool is_marker(const Resource& resource) {
    return resource.type == key_of(kTypeRcData) && resource.name == key_of(kMarkerName);
}

// What only a pack carries; a base that has any of it is replaced, never doubled.
bool is_pack_part(const Resource& resource) {
    return resource.type == key_of(kPatchType) || resource.type == key_of(kRecordType) ||
           (resource.type == key_of(kTypeRcData) && resource.name == key_of(kUpgradedCodesName));
}

std::u16string ascii16(std::string_view text) {
    return std::u16string(text.begin(), text.end());
}

std::u16string replaced(std::u16string text, std::u16string_view marker, std::u16string_view by) {
    for (auto at = text.find(marker); at != std::u16string::npos;
         at = text.find(marker, at + by.size())) {
        text.replace(at, marker.size(), by);
    }
    return text;
}

// "8.2.0.5" -> {8, 2, 0, 5}; one to four fields, missing ones 0.
bool parse_version(std::string_view text, std::uint16_t fields[4]) {
    std::fill(fields, fields + 4, 0);
    for (int field = 0; field < 4; ++field) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || value > 0xFFFF) {
            return false;
        }
        fields[field] = static_cast<std::uint16_t>(value);
        text.remove_prefix(static_cast<std::size_t>(end - text.data()));
        if (text.empty()) {
            return true;
        }
        if (text.front() != '.') {
            return false;
        }
        text.remove_prefix(1);
    }
    return false;
}

std::string joined(const std::vector<std::uint16_t>& ids) {
    std::string text;
    for (const std::uint16_t id : ids) {
        text += (text.empty() ? "" : ", ") + std::to_string(id);
    }
    return text;
}

struct VersionBlocks {
    VersionNode neutral;
    VersionNode english;
};

std::optional<std::string> read_versions(const ResourceTree& tree, VersionBlocks& blocks) {
    const struct {
        std::uint16_t language;
        const char* name;
        VersionNode& node;
    } wanted[] = {{kLanguageNeutral, "language-neutral", blocks.neutral},
                  {kLanguageEnglishUs, "US English (1033)", blocks.english}};
    for (const auto& want : wanted) {
        const Resource* resource =
            find_resource(tree, key_of(kTypeVersion), key_of(kVersionResourceId), want.language);
        if (resource == nullptr || resource->streamed) {
            return std::string("the base has no ") + want.name + " version resource";
        }
        auto node = read_version_info(resource->bytes);
        if (!node) {
            return std::string("the base's ") + want.name + " version resource is damaged";
        }
        want.node = std::move(*node);
    }
    return std::nullopt;
}

// The version texts the options may set, in both blocks; the base's are kept otherwise.
void set_version_texts(VersionBlocks& blocks, const PackTexts& texts,
                       std::vector<std::string>& defaults_used) {
    const struct {
        std::u16string_view key;
        const std::optional<std::u16string>& text;
    } settable[] = {{u"CompanyName", texts.company},
                    {u"ProductName", texts.product_name},
                    {u"FileDescription", texts.file_description},
                    {u"LegalCopyright", texts.copyright}};
    for (const auto& entry : settable) {
        if (entry.text) {
            set_version_string(blocks.neutral, entry.key, *entry.text, true);
            set_version_string(blocks.english, entry.key, *entry.text, true);
            continue;
        }
        std::string kept;
        for (const VersionNode* block : {&blocks.neutral, &blocks.english}) {
            const auto value = version_string(*block, entry.key);
            std::string quoted;
            if (value) {
                // Appended, not "\"" + ...: GCC 12 at -O3 warns about the latter (-Wrestrict).
                quoted.append(1, '"').append(utf8_from_utf16(*value)).append(1, '"');
            }
            if (value && kept.find(quoted) == std::string::npos) {
                kept += (kept.empty() ? "" : ", ") + quoted;
            }
        }
        if (!kept.empty()) {
            defaults_used.push_back(utf8_from_utf16(entry.key) + ": kept from the base, " + kept);
        }
    }
    if (texts.build_date) {
        set_version_string(blocks.neutral, u"Build Date", *texts.build_date, true);
        set_version_string(blocks.english, u"Build Date", *texts.build_date, false);
    } else if (const auto kept = version_string(blocks.neutral, u"Build Date")) {
        defaults_used.push_back("Build Date: kept from the base, \"" + utf8_from_utf16(*kept) +
                                "\"");
    }
}

std::optional<std::string> set_versions(ResourceTree& tree, const PackFacts& facts,
                                        const std::uint16_t target[4], const PackTexts& texts,
                                        std::vector<std::string>& defaults_used) {
    VersionBlocks blocks;
    if (auto refusal = read_versions(tree, blocks)) {
        return refusal;
    }
    // The language-neutral block describes this executable, the 1033 one the product release.
    const std::uint16_t release[4] = {target[0], target[1], 0, 0};
    const std::u16string release_text =
        ascii16(std::to_string(target[0]) + ", " + std::to_string(target[1]) + ", 0, 0");
    if (!set_fixed_versions(blocks.neutral, target, nullptr) ||
        !set_fixed_versions(blocks.english, release, release)) {
        return std::string("a version resource of the base has no fixed version part");
    }
    set_version_string(blocks.neutral, u"FileVersion", ascii16(facts.target_version), true);
    set_version_string(blocks.english, u"FileVersion", release_text, true);
    set_version_string(blocks.english, u"ProductVersion", release_text, true);
    set_version_texts(blocks, texts, defaults_used);
    for (const auto& [language, node] : {std::pair{kLanguageNeutral, &blocks.neutral},
                                         std::pair{kLanguageEnglishUs, &blocks.english}}) {
        auto bytes = write_version_info(*node);
        if (bytes.empty()) {
            return std::string("the version texts are too long for a version resource");
        }
        find_resource(tree, key_of(kTypeVersion), key_of(kVersionResourceId), language)->bytes =
            std::move(bytes);
    }
    return std::nullopt;
}

struct LanguageStrings {
    std::uint16_t language = 0;
    std::map<std::uint16_t, std::u16string> texts;
};

std::optional<std::string> read_languages(const ResourceTree& tree,
                                          std::vector<LanguageStrings>& languages) {
    std::set<std::uint16_t> ids;
    for (const Resource& resource : tree) {
        if (resource.type == key_of(kTypeString)) {
            ids.insert(resource.language);
        }
    }
    for (const std::uint16_t language : ids) {
        const std::string which = "language " + std::to_string(language);
        if (!string_tables_sound(tree, language)) {
            return "the base's string table of " + which + " is damaged";
        }
        LanguageStrings strings{language, strings_of_language(tree, language)};
        const auto frame = strings.texts.find(kWrongReleaseId);
        if (frame == strings.texts.end()) {
            return "the base has no message 308 in " + which;
        }
        if (frame->second.find(u"{release}") == std::u16string::npos) {
            return "the base's message 308 in " + which + " has no {release}";
        }
        if (!strings.texts.contains(kDefaultReleaseId)) {
            return "the base has no default release name (1308) in " + which;
        }
        languages.push_back(std::move(strings));
    }
    if (languages.empty()) {
        return std::string("the base has no message 308");
    }
    return std::nullopt;
}

// 308 with the release name in every language; 1308 dropped.
std::optional<std::string> set_messages_308(std::vector<LanguageStrings>& languages,
                                            const PackFacts& facts, const PackTexts& texts,
                                            std::vector<std::string>& defaults_used) {
    for (const auto& named : texts.release_by_language) {
        const std::uint16_t language = named.first;
        if (std::none_of(languages.begin(), languages.end(), [&](const LanguageStrings& strings) {
                return strings.language == language;
            })) {
            return "release names: language " + std::to_string(language) +
                   " has no strings in the base";
        }
    }
    if (texts.release && texts.release->empty()) {
        return std::string("the release name is empty");
    }
    std::vector<std::uint16_t> defaulted;
    std::u16string quoted;
    for (LanguageStrings& strings : languages) {
        std::u16string release;
        if (texts.release) {
            release = *texts.release;
        } else if (const auto found = texts.release_by_language.find(strings.language);
                   found != texts.release_by_language.end()) {
            release = found->second;
        } else {
            release = replaced(strings.texts[kDefaultReleaseId], u"{version}",
                               ascii16(facts.target_version));
            if (defaulted.empty() || strings.language == kLanguageEnglishUs) {
                quoted = release;
            }
            defaulted.push_back(strings.language);
        }
        std::u16string message = compose_message_308(strings.texts[kWrongReleaseId], release);
        if (message.size() > kMaxMessage308) {
            return "message 308 in language " + std::to_string(strings.language) + " would be " +
                   std::to_string(message.size()) + " UTF-16 units, over " +
                   std::to_string(kMaxMessage308);
        }
        strings.texts[kWrongReleaseId] = std::move(message);
        strings.texts.erase(kDefaultReleaseId);
    }
    if (!defaulted.empty()) {
        const bool english =
            std::find(defaulted.begin(), defaulted.end(), kLanguageEnglishUs) != defaulted.end();
        defaults_used.push_back(
            "release name: the base's default in languages " + joined(defaulted) + ", in " +
            (english ? std::string("English") : "language " + std::to_string(defaulted.front())) +
            " \"" + utf8_from_utf16(quoted) + "\"");
    }
    return std::nullopt;
}

std::vector<std::uint8_t> utf16_bytes(std::u16string_view text) {
    std::vector<std::uint8_t> bytes;
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

Resource resource_of(std::u16string type, ResourceKey name, std::vector<std::uint8_t> bytes) {
    Resource resource;
    resource.type = key_of(std::move(type));
    resource.name = std::move(name);
    resource.language = kLanguagePortugueseBrazil;
    resource.bytes = std::move(bytes);
    return resource;
}

std::optional<std::string> add_pack_parts(ResourceTree& tree, const PackFacts& facts) {
    Resource patch = resource_of(kPatchType, key_of(kPatchName), {});
    patch.streamed = true;
    patch.streamed_size = facts.patch_size;
    tree.push_back(std::move(patch));
    for (const auto& [id, bytes] : facts.records) {
        tree.push_back(resource_of(kRecordType, key_of(id), bytes));
    }
    std::string codes;
    for (const std::string& code : facts.upgraded_product_codes) {
        codes += (codes.empty() ? "" : ";") + code;
    }
    const auto codes16 = utf16_from_utf8(codes);
    if (!codes16) {
        return std::string("an upgraded product code is not UTF-8");
    }
    Resource upgraded = resource_of(u"", key_of(kUpgradedCodesName), utf16_bytes(*codes16 + u'\0'));
    upgraded.type = key_of(kTypeRcData);
    tree.push_back(std::move(upgraded));
    return std::nullopt;
}

} // namespace

std::optional<std::string> base_refusal(const ResourceTree& base) {
    if (std::any_of(base.begin(), base.end(), [](const Resource& resource) {
            return resource.type == key_of(kPatchType) && resource.name == key_of(kPatchName);
        })) {
        return std::string("this is a finished pack, not a base: it already carries a patch");
    }
    const auto marker = std::find_if(base.begin(), base.end(), is_marker);
    if (marker == base.end()) {
        return std::string("this is not a base: it has no RCDATA \"CORVATH_SP_BASE\"");
    }
    if (marker->streamed || marker->bytes.size() != 4) {
        return "the base marker is damaged: " + std::to_string(marker->size()) + " bytes, not 4";
    }
    const std::uint32_t format = marker->bytes[0] | (marker->bytes[1] << 8) |
                                 (marker->bytes[2] << 16) |
                                 (static_cast<std::uint32_t>(marker->bytes[3]) << 24);
    if (format != kBaseFormat) {
        return "this base is of format " + std::to_string(format) + "; this packer packs format " +
               std::to_string(kBaseFormat) + " only";
    }
    return std::nullopt;
}

std::optional<std::string> pack_resources(const ResourceTree& base, const PackFacts& facts,
                                          const PackTexts& texts, PackedResources& packed) {
    packed = PackedResources{};
    if (auto refusal = base_refusal(base)) {
        return refusal;
    }
    std::uint16_t target[4];
    if (!parse_version(facts.target_version, target)) {
        return "the target version \"" + facts.target_version +
               "\" is not one to four numbers up to 65535";
    }
    ResourceTree tree;
    std::copy_if(base.begin(), base.end(), std::back_inserter(tree), [](const Resource& resource) {
        return !is_marker(resource) && !is_pack_part(resource);
    });
    std::vector<LanguageStrings> languages;
    std::vector<std::string> defaults_used;
    if (auto refusal = read_languages(tree, languages)) {
        return refusal;
    }
    if (auto refusal = set_messages_308(languages, facts, texts, defaults_used)) {
        return refusal;
    }
    const auto english =
        std::find_if(languages.begin(), languages.end(), [](const LanguageStrings& strings) {
            return strings.language == kLanguageEnglishUs;
        });
    std::map<std::uint16_t, std::u16string> fallback;
    auto& english_texts = english == languages.end() ? fallback : english->texts;
    for (const auto& [id, fact] :
         {std::pair{kTargetVersionId, &facts.target_version},
          std::pair{kPatchSha256Id, &facts.sha256}, std::pair{kPatchCodeId, &facts.patch_code},
          std::pair{kApplicableVersionsId, &facts.applicable_versions}}) {
        auto text = utf16_from_utf8(*fact);
        if (!text) {
            return "the text of string " + std::to_string(id) + " is not UTF-8";
        }
        english_texts[id] = std::move(*text);
    }
    if (english == languages.end()) {
        languages.push_back({kLanguageEnglishUs, std::move(fallback)});
    }
    for (const LanguageStrings& strings : languages) {
        for (const auto& [id, text] : strings.texts) {
            if (text.size() > kMaxStringEntry) {
                return "string " + std::to_string(id) + " of language " +
                       std::to_string(strings.language) + " is over 65535 UTF-16 units";
            }
        }
        set_strings_of_language(tree, strings.language, strings.texts);
    }
    if (auto refusal = set_versions(tree, facts, target, texts, defaults_used)) {
        return refusal;
    }
    if (auto refusal = add_pack_parts(tree, facts)) {
        return refusal;
    }
    packed.tree = std::move(tree);
    packed.defaults_used = std::move(defaults_used);
    return std::nullopt;
}

} // namespace corvath::pack
