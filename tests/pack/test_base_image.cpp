#include "test_base_image.h"

#include <string>

namespace corvath::pack::test {
namespace {

constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::size_t kLfanew = 0x40;
constexpr std::size_t kOptional = kLfanew + 24;
constexpr std::size_t kOptionalSize = 112 + 16 * 8;
constexpr std::size_t kSectionTable = kOptional + kOptionalSize;

void set16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void set32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    set16(bytes, at, value & 0xFFFF);
    set16(bytes, at + 2, value >> 16);
}

std::uint32_t align(std::size_t value, std::uint32_t alignment) {
    return static_cast<std::uint32_t>((value + alignment - 1) / alignment * alignment);
}

// Depth first: each directory followed by its children; names after, then the data.
struct DepthFirstDirectory {
    const ResourceTree& tree;
    std::uint32_t rva;
    std::vector<std::uint8_t> bytes;
    std::vector<std::pair<std::size_t, const ResourceKey*>> name_fields;
    std::vector<std::pair<std::size_t, const Resource*>> data_entries;

    // The distinct keys at `level` among `members`, in order of first appearance.
    void write(const std::vector<const Resource*>& members, int level) {
        std::vector<const ResourceKey*> keys;
        std::vector<std::uint16_t> languages;
        std::vector<std::vector<const Resource*>> groups;
        for (const Resource* resource : members) {
            const ResourceKey language = key_of(resource->language);
            const ResourceKey& key = level == 0   ? resource->type
                                     : level == 1 ? resource->name
                                                  : language;
            std::size_t found = 0;
            while (found < groups.size() &&
                   !(level == 2 ? languages[found] == resource->language : *keys[found] == key)) {
                ++found;
            }
            if (found == groups.size()) {
                keys.push_back(level == 0 ? &resource->type : &resource->name);
                languages.push_back(resource->language);
                groups.emplace_back();
            }
            groups[found].push_back(resource);
        }
        const std::size_t at = bytes.size();
        bytes.resize(at + 16 + groups.size() * 8, 0);
        std::size_t named = 0;
        for (std::size_t g = 0; g < groups.size(); ++g) {
            named += level < 2 && keys[g]->is_text();
        }
        set16(bytes, at + 12, static_cast<std::uint32_t>(named));
        set16(bytes, at + 14, static_cast<std::uint32_t>(groups.size() - named));
        for (std::size_t g = 0; g < groups.size(); ++g) {
            const std::size_t entry = at + 16 + g * 8;
            if (level < 2 && keys[g]->is_text()) {
                name_fields.emplace_back(entry, keys[g]);
            } else {
                set32(bytes, entry, level < 2 ? keys[g]->id : languages[g]);
            }
            if (level < 2) {
                set32(bytes, entry + 4, 0x80000000u | static_cast<std::uint32_t>(bytes.size()));
                write(groups[g], level + 1);
            } else {
                set32(bytes, entry + 4, static_cast<std::uint32_t>(bytes.size()));
                data_entries.emplace_back(bytes.size(), groups[g].front());
                bytes.resize(bytes.size() + 16, 0);
            }
        }
    }

    void finish() {
        for (const auto& [field, key] : name_fields) {
            set32(bytes, field, 0x80000000u | static_cast<std::uint32_t>(bytes.size()));
            const std::size_t at = bytes.size();
            bytes.resize(at + 2 + key->text.size() * 2);
            set16(bytes, at, static_cast<std::uint32_t>(key->text.size()));
            for (std::size_t u = 0; u < key->text.size(); ++u) {
                set16(bytes, at + 2 + u * 2, key->text[u]);
            }
        }
        for (const auto& [entry, resource] : data_entries) {
            bytes.resize(align(bytes.size(), 4), 0);
            set32(bytes, entry, rva + static_cast<std::uint32_t>(bytes.size()));
            set32(bytes, entry + 4, resource->size());
            set32(bytes, entry + 8, resource->code_page);
            bytes.insert(bytes.end(), resource->bytes.begin(), resource->bytes.end());
        }
    }
};

} // namespace

ResourceTree sample_resources() {
    const auto bytes = [](std::size_t size, std::uint8_t seed) {
        std::vector<std::uint8_t> data(size);
        for (std::size_t i = 0; i < size; ++i) {
            data[i] = static_cast<std::uint8_t>(seed + i * 7);
        }
        return data;
    };
    ResourceTree tree;
    tree.push_back({key_of(kTypeVersion), key_of(1), kLanguageEnglishUs, bytes(93, 1)});
    tree.push_back({key_of(kTypeVersion), key_of(1), kLanguageNeutral, bytes(92, 2)});
    tree.push_back({key_of(kTypeRcData), key_of(u"CORVATH_SP_BASE"), 0, {1, 0, 0, 0}});
    tree.push_back({key_of(u"TXT"), key_of(206), kLanguagePortugueseBrazil, bytes(5, 3)});
    tree.push_back({key_of(kTypeRcData), key_of(u"ALPHA"), 0, bytes(3, 4)});
    tree.push_back({key_of(kTypeString), key_of(20), kLanguageEnglishUs, bytes(40, 5)});
    tree.push_back({key_of(u"AVI"), key_of(u"CLIP"), kLanguageEnglishUs, bytes(17, 6)});
    tree.back().code_page = 1252;
    return tree;
}

std::vector<std::uint8_t> make_test_base(const TestBase& shape) {
    const std::uint32_t fa = shape.file_alignment;
    const std::size_t count = 2 + shape.relocations + shape.section_after_rsrc;
    const std::uint32_t headers = align(kSectionTable + count * 40, fa);
    std::vector<std::uint8_t> file(headers, 0);
    file[0] = 'M';
    file[1] = 'Z';
    set32(file, 0x3C, kLfanew);
    set32(file, kLfanew, 0x00004550);
    set16(file, kLfanew + 4, 0x8664);
    set16(file, kLfanew + 6, static_cast<std::uint32_t>(count));
    set32(file, kLfanew + 8, 0x5F5E1000); // TimeDateStamp
    if (shape.symbols) {
        set32(file, kLfanew + 12, headers);
        set32(file, kLfanew + 16, 1);
    }
    set16(file, kLfanew + 20, kOptionalSize);
    set16(file, kLfanew + 22, 0x22);
    set16(file, kOptional, shape.pe32 ? 0x10B : 0x20B);
    set32(file, kOptional + 32, kSectionAlignment);
    set32(file, kOptional + 36, fa);
    set32(file, kOptional + 60, headers);
    set16(file, kOptional + 68, 2);
    set32(file, kOptional + 108, 16);

    struct Laid {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::uint32_t characteristics;
    };
    std::vector<Laid> sections;
    sections.push_back({".text", std::vector<std::uint8_t>(0x123, 0xC3), 0x60000020});
    const std::uint32_t rsrc_rva = 0x2000;
    DepthFirstDirectory directory{shape.resources, rsrc_rva, {}, {}, {}};
    std::vector<const Resource*> members;
    for (const Resource& resource : shape.resources) {
        members.push_back(&resource);
    }
    directory.write(members, 0);
    directory.finish();
    sections.push_back({".rsrc", directory.bytes, 0x40000040});
    if (shape.relocations) {
        // One block: page 0x1000, two entries (a DIR64 and the padding one).
        sections.push_back({".reloc", {0, 0x10, 0, 0, 12, 0, 0, 0, 0x10, 0xA0, 0, 0}, 0x42000040});
    }
    if (shape.section_after_rsrc) {
        sections.push_back({".debug", std::vector<std::uint8_t>(40, 0xDB), 0x42000040});
    }

    std::uint32_t rva = 0x1000;
    std::uint32_t initialized = 0;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const Laid& section = sections[i];
        const std::size_t header = kSectionTable + i * 40;
        const std::uint32_t raw_offset = static_cast<std::uint32_t>(file.size());
        const std::uint32_t raw_size = align(section.bytes.size(), fa);
        for (std::size_t c = 0; section.name[c] != '\0'; ++c) {
            file[header + c] = static_cast<std::uint8_t>(section.name[c]);
        }
        set32(file, header + 8, static_cast<std::uint32_t>(section.bytes.size()));
        set32(file, header + 12, rva);
        set32(file, header + 16, raw_size);
        set32(file, header + 20, raw_offset);
        set32(file, header + 36, section.characteristics);
        file.insert(file.end(), section.bytes.begin(), section.bytes.end());
        file.resize(raw_offset + raw_size, 0);
        const std::string name = section.name;
        if (name == ".rsrc") {
            set32(file, kOptional + 112 + 2 * 8, rva);
            set32(file, kOptional + 112 + 2 * 8 + 4,
                  static_cast<std::uint32_t>(section.bytes.size()));
        } else if (name == ".reloc") {
            set32(file, kOptional + 112 + 5 * 8, rva);
            set32(file, kOptional + 112 + 5 * 8 + 4,
                  static_cast<std::uint32_t>(section.bytes.size()));
        }
        if (section.characteristics & 0x40) {
            initialized += raw_size;
        }
        rva = align(rva + section.bytes.size(), kSectionAlignment);
    }
    set32(file, kOptional + 8, initialized);
    set32(file, kOptional + 56, rva);
    if (shape.certificate) {
        set32(file, kOptional + 112 + 4 * 8, static_cast<std::uint32_t>(file.size()));
        set32(file, kOptional + 112 + 4 * 8 + 4, 16);
        file.resize(file.size() + 16, 0x5A);
    }
    return file;
}

std::uint16_t u16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes.at(at) | bytes.at(at + 1) << 8);
}

std::uint32_t u32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return u16(bytes, at) | static_cast<std::uint32_t>(u16(bytes, at + 2)) << 16;
}

std::size_t optional_header(const std::vector<std::uint8_t>& image) {
    return u32(image, 0x3C) + 24;
}

SectionView section_of(const std::vector<std::uint8_t>& image, std::size_t index) {
    const std::size_t header =
        optional_header(image) + u16(image, u32(image, 0x3C) + 20) + index * 40;
    return {u32(image, header + 12), u32(image, header + 8), u32(image, header + 20),
            u32(image, header + 16)};
}

} // namespace corvath::pack::test
