// Writes a pack: the base's headers and its sections up to .rsrc unchanged, a new .rsrc built
// from a resource tree, and .reloc moved after it. The image is written front to back in one
// pass; the one streamed resource (the patch) is written by the caller in blocks between the
// head and the tail, and starts on a page of the file. Resources after it in the section may
// change their bytes, not their sizes, between the layout and the tail: the patch's digest is
// known only once the patch has been written.
#pragma once

#include "pe_image.h"
#include "resource_tree.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace corvath::pack {

// The image checksum (as CheckSumMappedFile computes it), taken as the bytes are written.
struct PeChecksum {
    std::uint64_t sum = 0;
    std::uint64_t length = 0;
    int pending = -1; // the first byte of a 16-bit word not yet complete, or -1
};

struct PackOutput {
    std::FILE* file = nullptr; // opened for writing, binary
    PeChecksum checksum;
    std::uint64_t written = 0;
};

// Where everything of the pack goes, decided before a byte is written.
struct PackLayout {
    std::uint32_t resource_rva = 0; // the new .rsrc
    std::uint32_t resource_raw_offset = 0;
    std::uint32_t resource_virtual_size = 0;
    std::uint32_t resource_raw_size = 0;
    std::uint32_t relocation_rva = 0; // .reloc, moved after .rsrc
    std::uint32_t relocation_raw_offset = 0;
    std::uint32_t size_of_image = 0;
    std::uint64_t file_size = 0;
    std::uint64_t streamed_offset = 0; // in the file: a multiple of 4096
    std::uint32_t streamed_size = 0;
    std::uint32_t checksum_offset = 0; // of the optional header's CheckSum field
    std::vector<std::uint8_t> head;    // every byte before the streamed data
    // The tree as laid out, sorted as written; the tail writes the resources that follow the
    // streamed one from the tree it is given, which must match this one in all but bytes.
    ResourceTree resources;
    std::vector<std::uint32_t> data_offsets; // of each of `resources`, from the start of .rsrc
};

// Lays the pack out. A refusal, one line, when it cannot be: more than one streamed resource,
// two resources of the same type, name and language, or an image that would reach 4 GiB.
std::optional<std::string> lay_out_pack(const BaseImage& base, const ResourceTree& resources,
                                        PackLayout& layout);

// Every byte before the streamed data.
bool write_pack_head(PackOutput& out, const PackLayout& layout);
// A block of the streamed data.
bool write_pack_bytes(PackOutput& out, const std::uint8_t* bytes, std::size_t size);
// The resources after the streamed one (their final bytes, from `resources`), .reloc, and then
// the checksum into the header. False when a write fails or `resources` does not match the
// layout.
bool write_pack_tail(PackOutput& out, const BaseImage& base, const PackLayout& layout,
                     const ResourceTree& resources);

} // namespace corvath::pack
