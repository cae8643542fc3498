#include "string_blocks.h"

#include <algorithm>

namespace corvath::pack {
namespace {

constexpr std::size_t kEntriesPerBlock = 16;

std::uint16_t first_id_of(std::uint16_t block) {
    return static_cast<std::uint16_t>((block - 1) * kEntriesPerBlock);
}

void put_unit(std::vector<std::uint8_t>& bytes, char16_t unit) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
}

bool is_string_table(const Resource& resource, std::uint16_t language) {
    return resource.type == key_of(kTypeString) && resource.language == language &&
           !resource.name.is_text();
}

} // namespace

std::optional<std::map<std::uint16_t, std::u16string>>
decode_string_block(std::uint16_t block, const std::vector<std::uint8_t>& bytes) {
    // Block 0 does not exist, and blocks past 4096 would hold ids past 65535.
    if (block == 0 || block > 4096) {
        return std::nullopt;
    }
    std::map<std::uint16_t, std::u16string> texts;
    std::size_t at = 0;
    auto unit_at = [&](std::size_t offset) {
        return static_cast<char16_t>(bytes[offset] | (bytes[offset + 1] << 8));
    };
    for (std::size_t entry = 0; entry < kEntriesPerBlock; ++entry) {
        // A block may end before its last entries: the loader reads those as empty.
        if (at == bytes.size()) {
            break;
        }
        if (bytes.size() - at < 2) {
            return std::nullopt;
        }
        const std::size_t length = unit_at(at);
        at += 2;
        if ((bytes.size() - at) / 2 < length) {
            return std::nullopt;
        }
        if (length > 0) {
            std::u16string text(length, u'\0');
            for (std::size_t i = 0; i < length; ++i) {
                text[i] = unit_at(at + 2 * i);
            }
            texts.emplace(static_cast<std::uint16_t>(first_id_of(block) + entry), std::move(text));
        }
        at += 2 * length;
    }
    // After the 16th entry, at most the zeros a compiler may pad with.
    if (bytes.size() - at > 3 ||
        std::any_of(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end(),
                    [](std::uint8_t byte) { return byte != 0; })) {
        return std::nullopt;
    }
    return texts;
}

std::vector<std::uint8_t>
encode_string_block(std::uint16_t block, const std::map<std::uint16_t, std::u16string>& texts) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t entry = 0; entry < kEntriesPerBlock; ++entry) {
        const auto found = texts.find(static_cast<std::uint16_t>(first_id_of(block) + entry));
        if (found == texts.end()) {
            put_unit(bytes, 0);
            continue;
        }
        // Callers keep texts within an entry's 65535 units (the packer refuses longer ones).
        const std::u16string_view text = std::u16string_view(found->second).substr(0, 0xFFFF);
        put_unit(bytes, static_cast<char16_t>(text.size()));
        for (const char16_t unit : text) {
            put_unit(bytes, unit);
        }
    }
    return bytes;
}

std::map<std::uint16_t, std::u16string> strings_of_language(const ResourceTree& tree,
                                                            std::uint16_t language) {
    std::map<std::uint16_t, std::u16string> texts;
    for (const Resource& resource : tree) {
        if (!is_string_table(resource, language) || resource.streamed) {
            continue;
        }
        if (auto block = decode_string_block(resource.name.id, resource.bytes)) {
            texts.merge(*block);
        }
    }
    return texts;
}

bool string_tables_sound(const ResourceTree& tree, std::uint16_t language) {
    return std::all_of(tree.begin(), tree.end(), [&](const Resource& resource) {
        if (resource.type != key_of(kTypeString) || resource.language != language) {
            return true;
        }
        return !resource.name.is_text() && !resource.streamed &&
               decode_string_block(resource.name.id, resource.bytes).has_value();
    });
}

void set_strings_of_language(ResourceTree& tree, std::uint16_t language,
                             const std::map<std::uint16_t, std::u16string>& texts) {
    std::map<std::uint16_t, std::uint32_t> code_pages;
    for (const Resource& resource : tree) {
        if (is_string_table(resource, language)) {
            code_pages[resource.name.id] = resource.code_page;
        }
    }
    std::erase_if(tree,
                  [&](const Resource& resource) { return is_string_table(resource, language); });
    std::map<std::uint16_t, std::map<std::uint16_t, std::u16string>> blocks;
    for (const auto& [id, text] : texts) {
        if (!text.empty()) {
            blocks[string_block_of(id)].emplace(id, text);
        }
    }
    for (const auto& [block, block_texts] : blocks) {
        Resource resource;
        resource.type = key_of(kTypeString);
        resource.name = key_of(block);
        resource.language = language;
        resource.bytes = encode_string_block(block, block_texts);
        const auto code_page = code_pages.find(block);
        resource.code_page = code_page == code_pages.end() ? 0 : code_page->second;
        tree.push_back(std::move(resource));
    }
}

} // namespace corvath::pack
