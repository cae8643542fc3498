#include "rsrc_section.h"

#include "le_write.h"
#include "pe_layout.h"

#include <algorithm>
#include <map>

namespace corvath::pack {
namespace {

constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::size_t kDirectorySize = 16;
constexpr std::size_t kEntrySize = 8;
constexpr std::size_t kDataEntrySize = 16;
constexpr std::uint64_t kDataAlignment = 8;

// One directory: its entries' keys and what each leads to (a directory's index, or a
// resource's).
struct Directory {
    std::vector<ResourceKey> keys;
    std::vector<std::size_t> targets;
};

std::uint32_t size_of(const Directory& directory) {
    return static_cast<std::uint32_t>(kDirectorySize + directory.keys.size() * kEntrySize);
}

} // namespace

void sort_for_directory(ResourceTree& resources) {
    std::stable_sort(resources.begin(), resources.end(), [](const Resource& a, const Resource& b) {
        if (const auto order = directory_order(a.type, b.type); order != 0) {
            return order < 0;
        }
        if (const auto order = directory_order(a.name, b.name); order != 0) {
            return order < 0;
        }
        return a.language < b.language;
    });
}

std::optional<std::string> duplicate_or_long_key(const ResourceTree& sorted) {
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const Resource& resource = sorted[i];
        if (resource.type.text.size() > 0xFFFF || resource.name.text.size() > 0xFFFF ||
            (resource.type.is_text() && resource.type.text.empty()) ||
            (resource.name.is_text() && resource.name.text.empty())) {
            return std::string("a resource's type or name is empty or too long");
        }
        if (i > 0 && sorted[i - 1].type == resource.type && sorted[i - 1].name == resource.name &&
            sorted[i - 1].language == resource.language) {
            return std::string("two resources share type, name and language");
        }
    }
    return std::nullopt;
}

ResourceSection lay_out_resource_section(const ResourceTree& sorted, std::uint32_t section_rva) {
    // Directories breadth first: the root, the types' directories, the names' directories.
    std::vector<Directory> directories(1);
    std::vector<std::size_t> name_directories; // indices of the language levels
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const Resource& resource = sorted[i];
        const bool new_type = i == 0 || !(sorted[i - 1].type == resource.type);
        const bool new_name = new_type || !(sorted[i - 1].name == resource.name);
        if (new_type) {
            directories[0].keys.push_back(resource.type);
            directories[0].targets.push_back(directories.size());
            directories.emplace_back();
        }
        if (new_name) {
            Directory& type = directories[directories[0].targets.back()];
            type.keys.push_back(resource.name);
            type.targets.push_back(name_directories.size());
            name_directories.push_back(0);
        }
    }
    const std::size_t first_name_directory = directories.size();
    for (std::size_t& index : name_directories) {
        index = directories.size();
        directories.emplace_back();
    }
    // The types' directories listed their names' positions among name_directories; make them
    // directory indices, and fill the languages.
    for (std::size_t t = 1; t < first_name_directory; ++t) {
        for (std::size_t& target : directories[t].targets) {
            target = name_directories[target];
        }
    }
    std::size_t name_level = 0;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (i > 0 &&
            !(sorted[i - 1].type == sorted[i].type && sorted[i - 1].name == sorted[i].name)) {
            ++name_level;
        }
        Directory& languages = directories[name_directories[name_level]];
        languages.keys.push_back(key_of(sorted[i].language));
        languages.targets.push_back(i);
    }

    std::vector<std::uint32_t> directory_offsets;
    std::uint32_t offset = 0;
    for (const Directory& directory : directories) {
        directory_offsets.push_back(offset);
        offset += size_of(directory);
    }
    const std::uint32_t data_entries = offset;
    offset += static_cast<std::uint32_t>(sorted.size() * kDataEntrySize);
    std::map<std::u16string, std::uint32_t> names;
    for (const Resource& resource : sorted) {
        for (const ResourceKey* key : {&resource.type, &resource.name}) {
            if (key->is_text() && names.emplace(key->text, offset).second) {
                offset += static_cast<std::uint32_t>(2 + key->text.size() * 2);
            }
        }
    }

    ResourceSection section;
    section.data_offsets.assign(sorted.size(), 0);
    std::uint64_t end = offset;
    const auto streamed = std::find_if(sorted.begin(), sorted.end(),
                                       [](const Resource& resource) { return resource.streamed; });
    if (streamed != sorted.end()) {
        end = align_up(end, pe::kPage);
        section.data_offsets[streamed - sorted.begin()] = static_cast<std::uint32_t>(end);
        end += streamed->size();
    }
    const std::uint64_t first_data = streamed != sorted.end()
                                         ? section.data_offsets[streamed - sorted.begin()]
                                         : align_up(end, kDataAlignment);
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (!sorted[i].streamed) {
            end = align_up(end, kDataAlignment);
            // Offsets past 4 GiB are refused by the caller from content_size.
            section.data_offsets[i] = static_cast<std::uint32_t>(end);
            end += sorted[i].size();
        }
    }
    section.content_size = end;

    std::vector<std::uint8_t>& front = section.front;
    front.assign(static_cast<std::size_t>(std::min<std::uint64_t>(first_data, end)), 0);
    for (std::size_t d = 0; d < directories.size(); ++d) {
        const Directory& directory = directories[d];
        const std::size_t at = directory_offsets[d];
        // Languages are ids, language neutral (0) included.
        const bool leaf = d >= first_name_directory;
        const auto named =
            leaf ? 0
                 : std::count_if(directory.keys.begin(), directory.keys.end(),
                                 [](const ResourceKey& key) { return key.is_text(); });
        put_u16(front, at + 12, static_cast<std::uint32_t>(named));
        put_u16(front, at + 14, static_cast<std::uint32_t>(directory.keys.size() - named));
        for (std::size_t e = 0; e < directory.keys.size(); ++e) {
            const ResourceKey& key = directory.keys[e];
            const std::size_t entry = at + kDirectorySize + e * kEntrySize;
            put_u32(front, entry, !leaf && key.is_text() ? kHighBit | names.at(key.text) : key.id);
            put_u32(front, entry + 4,
                    leaf ? static_cast<std::uint32_t>(data_entries +
                                                      directory.targets[e] * kDataEntrySize)
                         : kHighBit | directory_offsets[directory.targets[e]]);
        }
    }
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const std::size_t entry = data_entries + i * kDataEntrySize;
        put_u32(front, entry, section_rva + section.data_offsets[i]);
        put_u32(front, entry + 4, sorted[i].size());
        put_u32(front, entry + 8, sorted[i].code_page);
    }
    for (const auto& [text, at] : names) {
        put_u16(front, at, static_cast<std::uint32_t>(text.size()));
        for (std::size_t u = 0; u < text.size(); ++u) {
            put_u16(front, at + 2 + u * 2, text[u]);
        }
    }
    return section;
}

} // namespace corvath::pack
