// The resources of an image, as the packer reads them from a base and writes them into a pack:
// type, name and language, and the bytes. One resource, the patch, may be streamed: only its
// size is held, and its bytes are written from the patch file as the pack is written.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

namespace corvath::pack {

// A type or a name: an integer id, or a text. Texts are kept as Windows' resource compiler
// stores them, in upper case; the loader compares them without regard to case.
struct ResourceKey {
    std::uint16_t id = 0; // nonzero: an integer id
    std::u16string text;  // used when id is 0

    bool is_text() const { return id == 0; }
    friend bool operator==(const ResourceKey&, const ResourceKey&) = default;
};

inline ResourceKey key_of(std::uint16_t id) {
    return ResourceKey{id, {}};
}
inline ResourceKey key_of(std::u16string text) {
    return ResourceKey{0, std::move(text)};
}

// The order of entries in a resource directory, as Windows requires it: texts first, by their
// UTF-16 units, then ids ascending.
std::strong_ordering directory_order(const ResourceKey& a, const ResourceKey& b);

// Standard types the packer names.
inline constexpr std::uint16_t kTypeIcon = 3;         // RT_ICON
inline constexpr std::uint16_t kTypeString = 6;       // RT_STRING
inline constexpr std::uint16_t kTypeRcData = 10;      // RT_RCDATA
inline constexpr std::uint16_t kTypeGroupIcon = 14;   // RT_GROUP_ICON
inline constexpr std::uint16_t kTypeVersion = 16;     // RT_VERSION
inline constexpr std::uint16_t kTypeManifest = 24;    // RT_MANIFEST

inline constexpr std::uint16_t kLanguageNeutral = 0;
inline constexpr std::uint16_t kLanguageEnglishUs = 1033;
inline constexpr std::uint16_t kLanguagePortugueseBrazil = 1046;

struct Resource {
    ResourceKey type;
    ResourceKey name;
    std::uint16_t language = 0;
    std::vector<std::uint8_t> bytes; // empty when streamed
    bool streamed = false;           // the bytes come from elsewhere as the pack is written
    std::uint32_t streamed_size = 0; // when streamed
    std::uint32_t code_page = 0;     // the data entry's code page, kept as read (0 as written)

    std::uint32_t size() const {
        return streamed ? streamed_size : static_cast<std::uint32_t>(bytes.size());
    }
};

// In any order; writers sort. At most one resource is streamed.
using ResourceTree = std::vector<Resource>;

// The resource of that type, name and language, or nullptr.
const Resource* find_resource(const ResourceTree& tree, const ResourceKey& type,
                              const ResourceKey& name, std::uint16_t language);
Resource* find_resource(ResourceTree& tree, const ResourceKey& type, const ResourceKey& name,
                        std::uint16_t language);

} // namespace corvath::pack
