#include "rsrc_read.h"

#include "msp/little_endian.h"

#include <algorithm>
#include <set>

namespace corvath::pack {
namespace {

using msp::u16_at;
using msp::u32_at;

constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::size_t kDirectorySize = 16;
constexpr std::size_t kEntrySize = 8;
constexpr std::size_t kDataEntrySize = 16;

struct DirectoryReader {
    const std::uint8_t* section;
    std::size_t size;
    std::uint32_t section_rva;
    std::set<std::uint32_t> seen; // every directory and data entry read, to refuse sharing
    std::uint64_t data_total = 0;
    ResourceTree& resources;

    bool fits(std::uint64_t at, std::uint64_t length) const {
        return at <= size && length <= size - at;
    }

    std::optional<std::string> key(std::uint32_t field, bool language_level, ResourceKey& out) {
        if ((field & kHighBit) == 0) {
            if (field > 0xFFFF || (field == 0 && !language_level)) {
                return std::string("damaged: a resource id is out of range");
            }
            out = key_of(static_cast<std::uint16_t>(field));
            return std::nullopt;
        }
        const std::uint32_t at = field & ~kHighBit;
        if (language_level || !fits(at, 2)) {
            return std::string("damaged: a resource name lies outside .rsrc");
        }
        const std::uint16_t length = u16_at(section + at);
        if (length == 0 || !fits(at + 2u, std::uint64_t{length} * 2)) {
            return std::string("damaged: a resource name lies outside .rsrc");
        }
        std::u16string text(length, u'\0');
        for (std::uint16_t i = 0; i < length; ++i) {
            text[i] = static_cast<char16_t>(u16_at(section + at + 2 + i * 2));
        }
        out = key_of(std::move(text));
        return std::nullopt;
    }

    std::optional<std::string> data(std::uint32_t at, Resource& resource) {
        if (!seen.insert(at).second) {
            return std::string("damaged: the resource directory loops or shares an entry");
        }
        if (!fits(at, kDataEntrySize)) {
            return std::string("damaged: the resource directory runs past .rsrc");
        }
        const std::uint32_t rva = u32_at(section + at);
        const std::uint32_t length = u32_at(section + at + 4);
        resource.code_page = u32_at(section + at + 8);
        if (rva < section_rva || !fits(rva - section_rva, length)) {
            return std::string("damaged: a resource's data lies outside .rsrc");
        }
        // Resources do not overlap: more data than the section holds is a sign of sharing,
        // which would let a small file claim gigabytes.
        data_total += length;
        if (data_total > size) {
            return std::string("damaged: resources share their data");
        }
        const std::uint8_t* begin = section + (rva - section_rva);
        resource.bytes.assign(begin, begin + length);
        return std::nullopt;
    }

    // Level 0 lists types, 1 names, 2 languages, whose entries lead to data entries.
    std::optional<std::string> directory(std::uint32_t at, int level, Resource& path) {
        if (!seen.insert(at).second) {
            return std::string("damaged: the resource directory loops or shares an entry");
        }
        if (!fits(at, kDirectorySize)) {
            return std::string("damaged: the resource directory runs past .rsrc");
        }
        const std::size_t count =
            std::size_t{u16_at(section + at + 12)} + u16_at(section + at + 14);
        if (!fits(at + kDirectorySize, count * kEntrySize)) {
            return std::string("damaged: the resource directory runs past .rsrc");
        }
        std::vector<ResourceKey> keys;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* entry = section + at + kDirectorySize + i * kEntrySize;
            ResourceKey entry_key;
            if (auto refusal = key(u32_at(entry), level == 2, entry_key)) {
                return refusal;
            }
            keys.push_back(entry_key);
            const std::uint32_t target = u32_at(entry + 4);
            const bool subdirectory = (target & kHighBit) != 0;
            if (subdirectory != (level < 2)) {
                return std::string("damaged: the resource directory does not have three levels");
            }
            if (level == 0) {
                path.type = entry_key;
            } else if (level == 1) {
                path.name = entry_key;
            } else {
                path.language = entry_key.id;
            }
            if (subdirectory) {
                if (auto refusal = directory(target & ~kHighBit, level + 1, path)) {
                    return refusal;
                }
                continue;
            }
            Resource resource = path;
            if (auto refusal = data(target, resource)) {
                return refusal;
            }
            resources.push_back(std::move(resource));
        }
        std::sort(keys.begin(), keys.end(), [](const ResourceKey& a, const ResourceKey& b) {
            return directory_order(a, b) < 0;
        });
        if (std::adjacent_find(keys.begin(), keys.end()) != keys.end()) {
            return std::string("damaged: a resource directory lists a key twice");
        }
        return std::nullopt;
    }
};

} // namespace

std::optional<std::string> read_resource_directory(const std::uint8_t* section, std::size_t size,
                                                   std::uint32_t section_rva, std::uint32_t root,
                                                   ResourceTree& resources) {
    resources.clear();
    DirectoryReader reader{section, size, section_rva, {}, 0, resources};
    Resource path;
    auto refusal = reader.directory(root, 0, path);
    if (refusal) {
        resources.clear();
    }
    return refusal;
}

} // namespace corvath::pack
