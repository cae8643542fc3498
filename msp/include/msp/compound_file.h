// An OLE compound file read by offsets, the whole file never in memory: its header, the root
// entry, the root's own children and the streams they name. A package of up to 4 GiB is read
// through a few kilobytes of its FAT and directory.
#pragma once

#include "msp/little_endian.h"
#include "msp/parsed.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvath::msp {

// A class id as stored: the GUID's first three fields little-endian, the rest as written.
using ClassId = std::array<std::uint8_t, 16>;

struct DirectoryEntry {
    std::u16string name; // empty when the entry's name length is out of range
    ClassId class_id{};
    std::uint32_t left_sibling = 0;
    std::uint32_t right_sibling = 0;
    std::uint32_t child = 0;
    std::uint32_t start_sector = 0;
    std::uint32_t stream_size = 0;
};

struct CompoundFile {
    std::ifstream in;
    std::uint64_t file_size = 0;
    std::uint32_t sector_size = 0;
    std::uint64_t sector_count = 0; // whole sectors after the header: every chain's bound
    std::uint32_t first_directory_sector = 0;
    std::uint32_t mini_stream_cutoff = 0;
    std::uint32_t first_mini_fat_sector = 0;
    std::uint32_t first_difat_sector = 0;
    std::array<std::uint32_t, 109> header_difat{}; // the header's DIFAT: the FAT's first sectors
    std::vector<std::uint32_t> difat_sectors;      // the DIFAT chain, as far as a lookup needed it
    DirectoryEntry root;
    // What the chains have read, each once: the FAT by its sectors (each empty until a chain
    // needs it), and the mini FAT's and the mini stream's chains from the first stream read in
    // the mini stream on.
    std::vector<std::vector<std::uint32_t>> fat;
    std::optional<Parsed<std::vector<std::uint32_t>>> mini_fat_chain;
    std::optional<Parsed<std::vector<std::uint32_t>>> mini_stream_chain;
};

// Opens the file and reads its header and root entry.
Parsed<CompoundFile> open_compound_file(const std::filesystem::path& path);

// The root's own children: its streams and storages, not what the storages hold.
Parsed<std::vector<DirectoryEntry>> root_children(CompoundFile& file);

// The children of a storage of the file (a transform's streams, say), as root_children.
Parsed<std::vector<DirectoryEntry>> children_of(CompoundFile& file, const DirectoryEntry& storage);

// The child of that name, or nullptr.
const DirectoryEntry* find_entry(const std::vector<DirectoryEntry>& entries,
                                 std::u16string_view name);

// A stream's bytes, from regular sectors or from the mini stream as its size says. A summary
// or a table is read whole, up to kMaxStreamRead bytes.
inline constexpr std::uint32_t kMaxStreamRead = 64u << 20;
Parsed<Bytes> read_stream(CompoundFile& file, const DirectoryEntry& entry);

} // namespace corvath::msp
