#include "msp/compound_file.h"

#include "compound_file_layout.h"
#include "sector_chain.h"

#include <algorithm>

namespace corvath::msp {
namespace {

constexpr const char* kNotCompound = "not an OLE compound file, which every patch package is";
constexpr const char* kDirectoryDamaged = "the compound file's directory is damaged";

DirectoryEntry decode_entry(const std::uint8_t* bytes) {
    DirectoryEntry entry;
    const std::uint16_t name_length = u16_at(bytes + cfb::kDirectoryEntryNameLength);
    if (name_length >= 2 && name_length <= cfb::kDirectoryEntryMaxNameLength &&
        name_length % 2 == 0) {
        for (std::size_t at = 0; at + 2 < name_length; at += 2)
            entry.name.push_back(
                static_cast<char16_t>(u16_at(bytes + cfb::kDirectoryEntryName + at)));
    }
    std::copy_n(bytes + cfb::kDirectoryEntryClassId, entry.class_id.size(), entry.class_id.begin());
    entry.left_sibling = u32_at(bytes + cfb::kDirectoryEntryLeftSibling);
    entry.right_sibling = u32_at(bytes + cfb::kDirectoryEntryRightSibling);
    entry.child = u32_at(bytes + cfb::kDirectoryEntryChild);
    entry.start_sector = u32_at(bytes + cfb::kDirectoryEntryStartSector);
    entry.stream_size = u32_at(bytes + cfb::kDirectoryEntryStreamSize);
    return entry;
}

// A stream in regular sectors: its chain must hold all of its size.
Parsed<Bytes> read_regular_stream(CompoundFile& file, const DirectoryEntry& entry) {
    const std::uint64_t needed =
        (std::uint64_t{entry.stream_size} + file.sector_size - 1) / file.sector_size;
    const auto chain = sector_chain(file, entry.start_sector, needed);
    if (!chain.ok())
        return failed<Bytes>(chain.failure);
    if (chain.value.size() < needed)
        return failed<Bytes>("a stream of the compound file is shorter than its size");
    Parsed<Bytes> stream;
    stream.value.resize(entry.stream_size);
    for (std::size_t done = 0, i = 0; done < stream.value.size(); ++i) {
        const std::size_t piece =
            std::min<std::size_t>(file.sector_size, stream.value.size() - done);
        if (!read_at(file, sector_offset(file, chain.value[i]), stream.value.data() + done, piece))
            return failed<Bytes>(kCutShort);
        done += piece;
    }
    return stream;
}

// A chain that every stream in the mini stream needs: walked the first time, then remembered.
const Parsed<std::vector<std::uint32_t>>&
chain_once(CompoundFile& file, std::optional<Parsed<std::vector<std::uint32_t>>>& chain,
           std::uint32_t first, std::uint64_t bytes_used) {
    if (!chain)
        chain = sector_chain(file, first, (bytes_used + file.sector_size - 1) / file.sector_size);
    return *chain;
}

// A stream in the mini stream: 64-byte mini sectors of the root's stream, chained by the mini
// FAT. It is shorter than the cutoff, which the header's check holds to 4096 bytes, so neither
// its buffer nor the mini sectors it has visited take more than a few kilobytes.
Parsed<Bytes> read_mini_stream(CompoundFile& file, const DirectoryEntry& entry) {
    // Only the sectors that the mini stream's size reaches into are looked up, and kept.
    const std::uint64_t mini_sectors =
        (std::uint64_t{file.root.stream_size} + cfb::kMiniSectorSize - 1) / cfb::kMiniSectorSize;
    const auto& mini_fat = chain_once(file, file.mini_fat_chain, file.first_mini_fat_sector,
                                      mini_sectors * cfb::kSectorNumberSize);
    if (!mini_fat.ok())
        return failed<Bytes>(mini_fat.failure);
    const auto& mini_stream =
        chain_once(file, file.mini_stream_chain, file.root.start_sector, file.root.stream_size);
    if (!mini_stream.ok())
        return failed<Bytes>(mini_stream.failure);
    Parsed<Bytes> stream;
    stream.value.resize(entry.stream_size);
    std::vector<std::uint32_t> visited;
    std::uint32_t mini_sector = entry.start_sector;
    for (std::size_t done = 0; done < stream.value.size();) {
        const std::uint64_t at = std::uint64_t{mini_sector} * cfb::kMiniSectorSize;
        if (at >= file.root.stream_size)
            return failed<Bytes>("a stream of the compound file runs past its mini stream");
        if (std::find(visited.begin(), visited.end(), mini_sector) != visited.end())
            return failed<Bytes>("a mini sector chain of the compound file loops");
        visited.push_back(mini_sector);
        const auto offset =
            offset_in_chain(file, mini_stream.value, at,
                            "the compound file's mini stream is shorter than its size");
        if (!offset.ok())
            return failed<Bytes>(offset.failure);
        const std::size_t piece =
            std::min<std::size_t>(cfb::kMiniSectorSize, stream.value.size() - done);
        if (!read_at(file, offset.value, stream.value.data() + done, piece))
            return failed<Bytes>(kCutShort);
        done += piece;
        if (done == stream.value.size())
            break;
        const auto link = offset_in_chain(file, mini_fat.value,
                                          std::uint64_t{mini_sector} * cfb::kSectorNumberSize,
                                          "the compound file's mini sector table is damaged");
        if (!link.ok())
            return failed<Bytes>(link.failure);
        std::uint8_t next[4];
        if (!read_at(file, link.value, next, sizeof next))
            return failed<Bytes>(kCutShort);
        mini_sector = u32_at(next);
    }
    return stream;
}

} // namespace

Parsed<CompoundFile> open_compound_file(const std::filesystem::path& path) {
    Parsed<CompoundFile> opened;
    CompoundFile& file = opened.value;
    std::error_code error;
    file.file_size = std::filesystem::file_size(path, error);
    if (error)
        return failed<CompoundFile>("names no file");
    file.in.open(path, std::ios::binary);
    if (!file.in)
        return failed<CompoundFile>("cannot be opened for reading");

    std::uint8_t header[cfb::kHeaderSize];
    if (!read_at(file, 0, header, sizeof header) ||
        !std::equal(std::begin(cfb::kSignature), std::end(cfb::kSignature),
                    header + cfb::kHeaderSignature))
        return failed<CompoundFile>(kNotCompound);
    const std::uint16_t shift = u16_at(header + cfb::kHeaderSectorShift);
    if ((shift != cfb::kSectorShiftVersion3 && shift != cfb::kSectorShiftVersion4) ||
        u16_at(header + cfb::kHeaderMiniSectorShift) != cfb::kMiniSectorShift)
        return failed<CompoundFile>("the compound file's header is damaged (sector size)");
    file.sector_size = 1u << shift;
    file.sector_count = file.file_size / file.sector_size;
    file.sector_count -= std::min<std::uint64_t>(file.sector_count, 1); // the header's sector
    file.first_directory_sector = u32_at(header + cfb::kHeaderFirstDirectorySector);
    file.mini_stream_cutoff = u32_at(header + cfb::kHeaderMiniStreamCutoffSize);
    // The format fixes it; a larger one would have the reader take streams of any size from
    // the mini stream, 64 bytes at a time.
    if (file.mini_stream_cutoff != cfb::kMiniStreamCutoffSize)
        return failed<CompoundFile>(
            "the compound file's header is damaged (its mini stream cutoff is not 4096)");
    file.first_mini_fat_sector = u32_at(header + cfb::kHeaderFirstMiniFatSector);
    file.first_difat_sector = u32_at(header + cfb::kHeaderFirstDifatSector);
    for (std::uint32_t i = 0; i < cfb::kHeaderDifatEntries; ++i)
        file.header_difat[i] = u32_at(header + cfb::kHeaderDifat + i * cfb::kSectorNumberSize);

    // The root is the directory's first entry; its class id says what the file is.
    if (file.first_directory_sector >= file.sector_count)
        return failed<CompoundFile>("the compound file is cut short (its directory is missing)");
    std::uint8_t root[cfb::kDirectoryEntrySize];
    if (!read_at(file, sector_offset(file, file.first_directory_sector), root, sizeof root))
        return failed<CompoundFile>(kCutShort);
    file.root = decode_entry(root);
    return opened;
}

Parsed<std::vector<DirectoryEntry>> root_children(CompoundFile& file) {
    return children_of(file, file.root);
}

Parsed<std::vector<DirectoryEntry>> children_of(CompoundFile& file, const DirectoryEntry& storage) {
    const auto directory = sector_chain(file, file.first_directory_sector);
    if (!directory.ok())
        return failed<std::vector<DirectoryEntry>>(directory.failure);
    const std::uint64_t entry_count =
        directory.value.size() * (file.sector_size / cfb::kDirectoryEntrySize);

    // The children hang from the storage as a tree of siblings; each entry is visited once.
    Parsed<std::vector<DirectoryEntry>> children;
    std::vector<bool> visited(static_cast<std::size_t>(entry_count));
    std::vector<std::uint32_t> pending{storage.child};
    while (!pending.empty()) {
        const std::uint32_t id = pending.back();
        pending.pop_back();
        if (id == cfb::kNoStream)
            continue;
        if (id >= entry_count)
            return failed<std::vector<DirectoryEntry>>(kDirectoryDamaged);
        if (visited[id])
            return failed<std::vector<DirectoryEntry>>("the compound file's directory loops");
        visited[id] = true;
        const auto at = offset_in_chain(file, directory.value, id * cfb::kDirectoryEntrySize,
                                        kDirectoryDamaged);
        if (!at.ok())
            return failed<std::vector<DirectoryEntry>>(at.failure);
        std::uint8_t bytes[cfb::kDirectoryEntrySize];
        if (!read_at(file, at.value, bytes, sizeof bytes))
            return failed<std::vector<DirectoryEntry>>(kCutShort);
        children.value.push_back(decode_entry(bytes));
        pending.push_back(children.value.back().left_sibling);
        pending.push_back(children.value.back().right_sibling);
    }
    return children;
}

const DirectoryEntry* find_entry(const std::vector<DirectoryEntry>& entries,
                                 std::u16string_view name) {
    for (const DirectoryEntry& entry : entries)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

Parsed<Bytes> read_stream(CompoundFile& file, const DirectoryEntry& entry) {
    if (entry.stream_size > kMaxStreamRead)
        return failed<Bytes>("a stream it reads is larger than 64 MiB");
    if (entry.stream_size == 0)
        return {};
    if (entry.stream_size < file.mini_stream_cutoff)
        return read_mini_stream(file, entry);
    return read_regular_stream(file, entry);
}

} // namespace corvath::msp
