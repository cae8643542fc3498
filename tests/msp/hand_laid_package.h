// Patch packages laid out sector by sector, for the faults a writer of sound files never makes:
// chains that loop, sizes that claim more than the file holds, a chain through every sector of
// the largest pack. Their streams come from the patch builder's own writers: a summary with
// properties 7 and 9, and a MsiPatchMetadata table whose one row allows the patch's removal.
// 512-byte sectors (version 3), little-endian.
#pragma once

#include "byte_writer.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace hand_laid {

using corvath::patchkit::Bytes;

inline constexpr const char* kPatchCode = "{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E62}";

// Where the fields of the header lie.
inline constexpr std::size_t kHeaderMiniStreamCutoff = 0x38;

// The root's streams, in directory order (entry 0 is the root).
enum StreamId : std::uint32_t { kSummary = 1, kStringPool, kStringData, kMetadata, kStreams = 4 };

// A database's string pool and its MsiPatchMetadata table, as stored.
struct Metadata {
    Bytes pool;
    Bytes data;
    Bytes table;
};

// "AllowRemoval" (id 1) and "1" (id 2), and the one row (no Company) AllowRemoval = 1.
Metadata allows_removal();

// A patch of 3 KB: the FAT in sector 0, the directory in sectors 1 and 2, the mini FAT in
// sector 3 and the mini stream in sector 4, each stream in mini sectors of its own chained in
// stream order. Sound as it is made; the accessors say where to spoil it.
struct SmallPatch {
    Bytes bytes;

    void put(std::size_t at, std::uint32_t value, std::size_t width = 4);
    // The directory entry's fields.
    std::size_t start_of(StreamId id) const;
    std::size_t size_of(StreamId id) const;
    // The mini FAT's entry for the stream's last mini sector: its end mark.
    std::size_t last_link_of(StreamId id) const;
    std::uint32_t first_mini_sector(StreamId id) const;

    void write(const std::filesystem::path& path) const;
};

SmallPatch small_patch(const Metadata& metadata = allows_removal());

// A sparse patch of `size` bytes (a multiple of 512) whose mini FAT's chain runs through every
// sector that is not the directory's, the mini stream's, the FAT's or the DIFAT's: to its end
// mark (a sound patch), or back to its first sector (a loop as long as the file).
enum class ChainEnd { EndMark, Loop };
void write_long_chain_patch(const std::filesystem::path& path, std::uint64_t size, ChainEnd end);

} // namespace hand_laid
