// Lays out a new .rsrc section: the directory as Windows requires it (at every level named
// entries first by their text, then ids ascending), the data entries, the names, then the data:
// the streamed resource first on a page of its own, then the others, each on 8 bytes.
#pragma once

#include "resource_tree.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvath::pack {

// Sorts by type, name and language in directory order.
void sort_for_directory(ResourceTree& resources);

// A refusal, one line, when two resources share type, name and language, or a name is too long.
std::optional<std::string> duplicate_or_long_key(const ResourceTree& sorted);

struct ResourceSection {
    // Every byte before the first data: directories, data entries and names, then zeros.
    std::vector<std::uint8_t> front;
    std::vector<std::uint32_t> data_offsets; // of each resource, from the start of the section
    std::uint64_t content_size = 0;          // to the end of the last data
};

// `sorted` as sort_for_directory leaves it, at most one streamed; the section is mapped at
// `section_rva` and starts on a page of the file.
ResourceSection lay_out_resource_section(const ResourceTree& sorted, std::uint32_t section_rva);

} // namespace corvath::pack
