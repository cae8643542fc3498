// What a pack carries, made from what its base carries: the base's resources less those only a
// base has, plus the patch, its patch-list records, the pack's own string entries (700, 701,
// 702, 900), the upgraded codes, message 308 with the release name in every language, and the
// version resource with the pack's versions and texts.
#pragma once

#include "resource_tree.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace corvath::pack {

// The base marker: RCDATA "CORVATH_SP_BASE", language neutral, a 32-bit little-endian format
// number. A packer packs bases of its own format only.
inline constexpr std::uint32_t kBaseFormat = 1;

// Base-only string entries, in every language: 308's frame is 308 itself in the base (with
// {release} for the release name); the default release name, {version} for the target version.
inline constexpr std::uint16_t kDefaultReleaseId = 1308;

// Whether `base` can be packed: a refusal, one line, for a file that is not a base, a base of
// another format, or a finished pack.
std::optional<std::string> base_refusal(const ResourceTree& base);

struct PackFacts {
    std::string target_version;      // "8.2.0.5"
    std::string applicable_versions; // "8.1.0.4,"
    std::string patch_code;          // braced, upper case
    std::string sha256;              // 64 lower-case hex digits (a placeholder before the pass)
    std::vector<std::string> upgraded_product_codes;
    std::uint32_t patch_size = 0;
    std::map<std::uint16_t, std::vector<std::uint8_t>> records; // TXT id -> bytes, from 206
};

struct PackTexts {
    std::optional<std::u16string> release;                       // one text for every language
    std::map<std::uint16_t, std::u16string> release_by_language; // or per language
    std::optional<std::u16string> company;
    std::optional<std::u16string> product_name;
    std::optional<std::u16string> file_description;
    std::optional<std::u16string> copyright;
    std::optional<std::u16string> build_date; // dd.mm.yyyy
};

struct PackedResources {
    ResourceTree tree;                      // the patch streamed, under IDR_MSP
    std::vector<std::string> defaults_used; // one line each, for the packer to print
};

// A refusal, one line, when a text does not fit (308 over 255 UTF-16 units in some language) or
// the base lacks what a pack needs (a 308 frame, a version resource).
std::optional<std::string> pack_resources(const ResourceTree& base, const PackFacts& facts,
                                          const PackTexts& texts, PackedResources& packed);

} // namespace corvath::pack
