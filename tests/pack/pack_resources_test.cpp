// The pack's resource set from a base: what only a base has is dropped, the patch and its facts
// are added, 308 names the release in every language, the version resource names the pack;
// a base the packer must not take is refused in one line.
#include "pack_resources.h"
#include "string_blocks.h"
#include "version_info.h"
#include "windres_output.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace corvath::pack;

Resource resource_of(ResourceKey type, ResourceKey name, std::uint16_t language,
                     std::vector<std::uint8_t> bytes) {
    return Resource{std::move(type), std::move(name), language, std::move(bytes)};
}

// A base as the build makes it, in three languages.
ResourceTree make_base() {
    ResourceTree base;
    base.push_back(resource_of(key_of(kTypeRcData), key_of(u"CORVATH_SP_BASE"), 0, {1, 0, 0, 0}));
    base.push_back(resource_of(key_of(kTypeIcon), key_of(1), 1033, {9, 9, 9}));
    set_strings_of_language(base, 1033,
                            {{301, u"Installed."},
                             {308, u"It is designed for %s - {release}."},
                             {1308, u"Version {version}"}});
    set_strings_of_language(
        base, 1031, {{308, u"Es ist für %s - {release} bestimmt."}, {1308, u"Version {version}"}});
    set_strings_of_language(
        base, 1038, {{308, u"Ehhez készült: %s - {release}."}, {1308, u"{version} verzió"}});
    const auto versions =
        pack_test::compile_with_windres(pack_test::version_script("1.0.0.0", "1, 0, 0, 0"));
    if (versions) {
        for (const std::uint16_t language : {0, 1033}) {
            base.push_back(
                resource_of(key_of(kTypeVersion), key_of(1), language,
                            pack_test::find_compiled(*versions, 16, 1, language)->bytes));
        }
    }
    return base;
}

PackFacts make_facts() {
    PackFacts facts;
    facts.target_version = "8.2.0.5";
    facts.applicable_versions = "8.1.0.4,";
    facts.patch_code = "{11111111-2222-3333-4444-555555555555}";
    facts.sha256 = std::string(64, '0');
    facts.upgraded_product_codes = {"{A}", "{B}"};
    facts.patch_size = 123456;
    facts.records = {{206, {'r', '1'}}, {207, {'r', '2'}}};
    return facts;
}

VersionNode version_of(const ResourceTree& tree, std::uint16_t language) {
    const Resource* resource = find_resource(tree, key_of(kTypeVersion), key_of(1), language);
    return resource ? read_version_info(resource->bytes).value_or(VersionNode{}) : VersionNode{};
}

bool mentions(const std::vector<std::string>& lines, const std::string& text) {
    for (const std::string& line : lines) {
        if (line.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST(PackResources, DefaultsMakeACompletePack) {
    const ResourceTree base = make_base();
    PackedResources packed;
    ASSERT_FALSE(pack_resources(base, make_facts(), {}, packed));
    const ResourceTree& tree = packed.tree;

    EXPECT_FALSE(find_resource(tree, key_of(kTypeRcData), key_of(u"CORVATH_SP_BASE"), 0));
    EXPECT_TRUE(find_resource(tree, key_of(kTypeIcon), key_of(1), 1033));
    const auto english = strings_of_language(tree, 1033);
    EXPECT_EQ(english.at(308), u"It is designed for %s - Version 8.2.0.5.");
    EXPECT_EQ(english.at(301), u"Installed.");
    EXPECT_EQ(english.at(700), u"8.2.0.5");
    EXPECT_EQ(english.at(701), std::u16string(64, u'0'));
    EXPECT_EQ(english.at(702), u"{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(english.at(900), u"8.1.0.4,");
    EXPECT_FALSE(english.contains(1308));
    const auto hungarian = strings_of_language(tree, 1038);
    EXPECT_EQ(hungarian, (std::map<std::uint16_t, std::u16string>{
                             {308, u"Ehhez készült: %s - 8.2.0.5 verzió."}}));
    EXPECT_FALSE(strings_of_language(tree, 1031).contains(700));

    const Resource* patch = find_resource(tree, key_of(u"MSP"), key_of(u"IDR_MSP"), 1046);
    ASSERT_TRUE(patch);
    EXPECT_TRUE(patch->streamed);
    EXPECT_EQ(patch->size(), 123456u);
    const Resource* record = find_resource(tree, key_of(u"TXT"), key_of(207), 1046);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->bytes, (std::vector<std::uint8_t>{'r', '2'}));
    const Resource* codes =
        find_resource(tree, key_of(kTypeRcData), key_of(u"UPGRADED_CODES"), 1046);
    ASSERT_TRUE(codes);
    EXPECT_EQ(codes->bytes, (std::vector<std::uint8_t>{'{', 0, 'A', 0, '}', 0, ';', 0, '{', 0, 'B',
                                                       0, '}', 0, 0, 0}));

    // The executable's block has the target, the product's its release; the rest is kept.
    const auto expected =
        pack_test::compile_with_windres(pack_test::version_script("8.2.0.5", "8, 2, 0, 0"));
    ASSERT_TRUE(expected);
    for (const std::uint16_t language : {0, 1033}) {
        EXPECT_EQ(find_resource(tree, key_of(kTypeVersion), key_of(1), language)->bytes,
                  pack_test::find_compiled(*expected, 16, 1, language)->bytes)
            << language;
    }

    EXPECT_TRUE(mentions(packed.defaults_used,
                         "release name: the base's default in languages 1031, 1033, 1038, in "
                         "English \"Version 8.2.0.5\""));
    EXPECT_TRUE(mentions(packed.defaults_used, "CompanyName: kept from the base, \"Lunmere\""));
    EXPECT_TRUE(mentions(packed.defaults_used, "Build Date: kept from the base, \"01.02.2026\""));

    // No upgraded codes: the terminator alone.
    PackFacts facts = make_facts();
    facts.upgraded_product_codes.clear();
    ASSERT_FALSE(pack_resources(base, facts, {}, packed));
    EXPECT_EQ(
        find_resource(packed.tree, key_of(kTypeRcData), key_of(u"UPGRADED_CODES"), 1046)->bytes,
        (std::vector<std::uint8_t>{0, 0}));
}

TEST(PackResources, GivenTextsReplaceTheBasesOwn) {
    PackTexts texts;
    texts.release_by_language = {{1031, u"SP 100%"}};
    texts.company = u"Example Ltd";
    texts.build_date = u"24.12.2026";
    PackedResources packed;
    ASSERT_FALSE(pack_resources(make_base(), make_facts(), texts, packed));
    EXPECT_EQ(strings_of_language(packed.tree, 1031).at(308),
              u"Es ist für %s - SP 100%% bestimmt.");
    EXPECT_EQ(strings_of_language(packed.tree, 1033).at(308),
              u"It is designed for %s - Version 8.2.0.5.");
    EXPECT_TRUE(mentions(packed.defaults_used, "default in languages 1033, 1038,"));
    EXPECT_FALSE(mentions(packed.defaults_used, "CompanyName"));
    EXPECT_FALSE(mentions(packed.defaults_used, "Build Date"));
    for (const std::uint16_t language : {0, 1033}) {
        EXPECT_EQ(version_string(version_of(packed.tree, language), u"CompanyName"),
                  u"Example Ltd");
    }
    EXPECT_EQ(version_string(version_of(packed.tree, 0), u"Build Date"), u"24.12.2026");

    texts.release = u"Update 2";
    ASSERT_FALSE(pack_resources(make_base(), make_facts(), texts, packed));
    EXPECT_EQ(strings_of_language(packed.tree, 1031).at(308),
              u"Es ist für %s - Update 2 bestimmt.");
    EXPECT_FALSE(mentions(packed.defaults_used, "release name"));

    // 255 units fit (German's frame is the longest here).
    texts.release = std::u16string(229, u'x');
    ASSERT_FALSE(pack_resources(make_base(), make_facts(), texts, packed));
    EXPECT_EQ(strings_of_language(packed.tree, 1031).at(308).size(), 255u);
}

TEST(PackResources, BasesThePackerMustNotTakeAreRefused) {
    const ResourceTree good = make_base();
    const struct {
        const char* what;
        std::function<void(ResourceTree&, PackTexts&)> change;
        const char* refusal;
    } cases[] = {
        {"no marker", [](ResourceTree& base, PackTexts&) { base.erase(base.begin()); },
         "not a base"},
        {"format 2",
         [](ResourceTree& base, PackTexts&) {
             base.front().bytes = {2, 0, 0, 0};
         },
         "format 2"},
        {"a finished pack",
         [](ResourceTree& base, PackTexts&) {
             base.push_back(resource_of(key_of(u"MSP"), key_of(u"IDR_MSP"), 1046, {1}));
         },
         "finished pack"},
        {"308 too long",
         [](ResourceTree&, PackTexts& texts) { texts.release = std::u16string(230, u'x'); },
         "message 308 in language 1031 would be 256 UTF-16 units, over 255"},
        {"a language not in the base",
         [](ResourceTree&, PackTexts& texts) {
             texts.release_by_language = {{1036, u"x"}};
         },
         "language 1036 has no strings in the base"},
        {"no 1308",
         [](ResourceTree& base, PackTexts&) {
             set_strings_of_language(base, 1038, {{308, u"%s - {release}"}});
         },
         "no default release name (1308) in language 1038"},
        {"no version resource", [](ResourceTree& base, PackTexts&) { base.pop_back(); },
         "no US English (1033) version resource"},
    };
    for (const auto& bad : cases) {
        ResourceTree base = good;
        PackTexts texts;
        bad.change(base, texts);
        PackedResources packed;
        const auto refusal = pack_resources(base, make_facts(), texts, packed);
        ASSERT_TRUE(refusal) << bad.what;
        EXPECT_NE(refusal->find(bad.refusal), std::string::npos) << *refusal;
        EXPECT_TRUE(packed.tree.empty()) << bad.what;
    }
}

} // namespace
