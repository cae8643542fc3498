// String tables as images carry them: block n (resource name n) holds ids 16(n-1) to 16n-1,
// each entry a 16-bit length and that many UTF-16 units, no terminator; absent ids have length 0.
#pragma once

#include "resource_tree.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace corvath::pack {

// id -> text, for the ids a block holds that are not empty. Nothing when the block is damaged.
std::optional<std::map<std::uint16_t, std::u16string>>
decode_string_block(std::uint16_t block, const std::vector<std::uint8_t>& bytes);

// The block's bytes, as windres and rc.exe write them (all 16 lengths, trailing empty entries
// included).
std::vector<std::uint8_t> encode_string_block(std::uint16_t block,
                                              const std::map<std::uint16_t, std::u16string>& texts);

inline std::uint16_t string_block_of(std::uint16_t id) {
    return static_cast<std::uint16_t>(id / 16 + 1);
}

// Whether every string table of `language` in the tree decodes (a damaged one would be lost when
// the language's tables are written anew).
bool string_tables_sound(const ResourceTree& tree, std::uint16_t language);

// Every string of one language in the tree, id -> text; damaged blocks are skipped.
std::map<std::uint16_t, std::u16string> strings_of_language(const ResourceTree& tree,
                                                            std::uint16_t language);
// Replaces the string tables of `language` with blocks holding exactly `texts`.
void set_strings_of_language(ResourceTree& tree, std::uint16_t language,
                             const std::map<std::uint16_t, std::u16string>& texts);

} // namespace corvath::pack
