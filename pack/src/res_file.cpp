#include "res_file.h"

#include "le_write.h"
#include "msp/little_endian.h"
#include "pack_output.h"
#include "rsrc_section.h"

#include <algorithm>

namespace corvath::pack {
namespace {

using msp::u16_at;
using msp::u32_at;

// Each entry: DataSize, HeaderSize, TYPE, NAME (0xFFFF + id, or a NUL-terminated UTF-16 text),
// padding to 4, DataVersion, MemoryFlags, LanguageId, Version, Characteristics; then the data,
// padded to 4. The file starts with an empty entry of 32 bytes.
constexpr std::size_t kFixedTail = 16;
constexpr std::size_t kEmptyEntrySize = 32;
// MOVEABLE | PURE, as rc.exe writes for most types; no reader looks at it.
constexpr std::uint32_t kMemoryFlags = 0x0030;

void append_key(std::vector<std::uint8_t>& bytes, const ResourceKey& key) {
    if (!key.is_text()) {
        append_u16(bytes, 0xFFFF);
        append_u16(bytes, key.id);
        return;
    }
    for (const char16_t unit : key.text) {
        append_u16(bytes, unit);
    }
    append_u16(bytes, 0);
}

std::vector<std::uint8_t> entry_header(const ResourceKey& type, const ResourceKey& name,
                                       std::uint16_t language, std::uint32_t data_size) {
    std::vector<std::uint8_t> header(8);
    append_key(header, type);
    append_key(header, name);
    header.resize(align_up(header.size(), 4), 0);
    append_u32(header, 0); // DataVersion
    append_u16(header, kMemoryFlags);
    append_u16(header, language);
    append_u32(header, 0); // Version
    append_u32(header, 0); // Characteristics
    put_u32(header, 0, data_size);
    put_u32(header, 4, static_cast<std::uint32_t>(header.size()));
    return header;
}

// Reads a type or name at `at`, ending before `limit`; moves `at` past it.
bool read_key(const std::vector<std::uint8_t>& bytes, std::size_t& at, std::size_t limit,
              ResourceKey& key) {
    if (limit - at < 2) {
        return false;
    }
    if (u16_at(bytes.data() + at) == 0xFFFF) {
        if (limit - at < 4) {
            return false;
        }
        key = key_of(u16_at(bytes.data() + at + 2));
        at += 4;
        return true;
    }
    key = key_of(std::u16string());
    for (;;) {
        if (limit - at < 2) {
            return false;
        }
        const char16_t unit = static_cast<char16_t>(u16_at(bytes.data() + at));
        at += 2;
        if (unit == 0) {
            return true;
        }
        key.text.push_back(unit);
    }
}

// Type 0 and name 0 (0xFFFF 0 each), no data, all else zero.
std::vector<std::uint8_t> empty_entry() {
    std::vector<std::uint8_t> entry(kEmptyEntrySize, 0);
    put_u32(entry, 4, kEmptyEntrySize);
    put_u16(entry, 8, 0xFFFF);
    put_u16(entry, 12, 0xFFFF);
    return entry;
}

bool is_empty_entry(const ResourceKey& type, const ResourceKey& name, std::uint32_t data_size) {
    return data_size == 0 && type == ResourceKey{} && name == ResourceKey{};
}

} // namespace

namespace {

std::optional<std::string> read_entries(const std::vector<std::uint8_t>& bytes,
                                        ResourceTree& resources) {
    const std::size_t size = bytes.size();
    std::size_t offset = 0;
    while (offset < size) {
        if (size - offset < 8) {
            return std::string("damaged: a .res entry runs past the end of the file");
        }
        const std::uint32_t data_size = u32_at(bytes.data() + offset);
        const std::uint32_t header_size = u32_at(bytes.data() + offset + 4);
        if (header_size < 8 + 4 + 4 + kFixedTail || header_size > size - offset ||
            data_size > size - offset - header_size) {
            return std::string("damaged: a .res entry runs past the end of the file");
        }
        const std::size_t header_end = offset + header_size;
        std::size_t at = offset + 8;
        Resource resource;
        if (!read_key(bytes, at, header_end, resource.type) ||
            !read_key(bytes, at, header_end, resource.name)) {
            return std::string("damaged: a .res entry's type or name runs past its header");
        }
        at = align_up(at, 4);
        if (at > header_end || header_end - at < kFixedTail) {
            return std::string("damaged: a .res entry's header is too short");
        }
        const bool empty = is_empty_entry(resource.type, resource.name, data_size);
        if ((offset == 0) != empty) {
            return std::string(offset == 0 ? "not a .res file (it lacks the leading empty entry)"
                                           : "damaged: an empty entry inside the .res file");
        }
        if (!empty) {
            if (resource.type == ResourceKey{} || resource.name == ResourceKey{}) {
                return std::string("damaged: a .res entry has a type or name of id 0 or no text");
            }
            resource.language = u16_at(bytes.data() + at + 6);
            resource.bytes.assign(bytes.begin() + header_end,
                                  bytes.begin() + header_end + data_size);
            resources.push_back(std::move(resource));
        }
        offset = align_up(header_end + data_size, 4);
    }
    if (offset == 0) {
        return std::string("not a .res file (it is empty)");
    }
    ResourceTree sorted = resources;
    sort_for_directory(sorted);
    if (auto refusal = duplicate_or_long_key(sorted)) {
        return "damaged: " + *refusal;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> read_res_file(const std::vector<std::uint8_t>& bytes,
                                         ResourceTree& resources) {
    resources.clear();
    auto refusal = read_entries(bytes, resources);
    if (refusal) {
        resources.clear();
    }
    return refusal;
}

std::vector<std::uint8_t> res_file_head(const ResourceTree& resources) {
    std::vector<std::uint8_t> head = empty_entry();
    const auto streamed = std::find_if(resources.begin(), resources.end(),
                                       [](const Resource& resource) { return resource.streamed; });
    if (streamed != resources.end()) {
        const std::vector<std::uint8_t> header =
            entry_header(streamed->type, streamed->name, streamed->language, streamed->size());
        head.insert(head.end(), header.begin(), header.end());
    }
    return head;
}

bool write_res_tail(PackOutput& out, const ResourceTree& resources) {
    const auto streamed = std::find_if(resources.begin(), resources.end(),
                                       [](const Resource& resource) { return resource.streamed; });
    const std::uint64_t expected =
        res_file_head(resources).size() + (streamed == resources.end() ? 0 : streamed->size());
    if (out.written != expected) {
        return false;
    }
    ResourceTree sorted = resources;
    sort_for_directory(sorted);
    for (const Resource& resource : sorted) {
        if (resource.streamed) {
            continue;
        }
        const std::vector<std::uint8_t> header =
            entry_header(resource.type, resource.name, resource.language, resource.size());
        if (!write_zeros_to(out, align_up(out.written, 4)) ||
            !write_out(out, header.data(), header.size()) ||
            !write_out(out, resource.bytes.data(), resource.bytes.size())) {
            return false;
        }
    }
    return write_zeros_to(out, align_up(out.written, 4)) && std::fflush(out.file) == 0;
}

} // namespace corvath::pack
