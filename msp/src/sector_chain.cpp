#include "sector_chain.h"

#include "compound_file_layout.h"

#include <algorithm>

namespace corvath::msp {
namespace {

constexpr const char* kDifatDamaged = "the compound file's sector table (DIFAT) is damaged";
constexpr const char* kFatDamaged = "the compound file's sector table (FAT) is damaged";

std::uint32_t entries_per_sector(const CompoundFile& file) {
    return file.sector_size / cfb::kSectorNumberSize;
}

Parsed<std::uint32_t> u32_in_file(CompoundFile& file, std::uint64_t offset) {
    std::uint8_t bytes[4];
    if (!read_at(file, offset, bytes, sizeof bytes))
        return failed<std::uint32_t>(kCutShort);
    return {u32_at(bytes), {}};
}

// The FAT's sector number `index`: from the header's DIFAT, or from the DIFAT sectors, whose
// chain is followed once and remembered.
Parsed<std::uint32_t> fat_sector(CompoundFile& file, std::uint32_t index) {
    if (index < cfb::kHeaderDifatEntries)
        return {file.header_difat[index], {}};
    const std::uint32_t per_difat_sector = entries_per_sector(file) - 1;
    const std::uint32_t beyond = index - cfb::kHeaderDifatEntries;
    const std::size_t difat_index = beyond / per_difat_sector;
    while (file.difat_sectors.size() <= difat_index) {
        std::uint32_t next = file.first_difat_sector;
        if (!file.difat_sectors.empty()) {
            const auto link =
                u32_in_file(file, sector_offset(file, file.difat_sectors.back()) +
                                      std::uint64_t{per_difat_sector} * cfb::kSectorNumberSize);
            if (!link.ok())
                return link;
            next = link.value;
        }
        if (next >= file.sector_count || file.difat_sectors.size() >= file.sector_count)
            return failed<std::uint32_t>(kDifatDamaged);
        // A few hundred sectors at most in a pack: a search is cheaper than a set.
        if (std::find(file.difat_sectors.begin(), file.difat_sectors.end(), next) !=
            file.difat_sectors.end())
            return failed<std::uint32_t>("the compound file's sector table (DIFAT) loops");
        file.difat_sectors.push_back(next);
    }
    return u32_in_file(file, sector_offset(file, file.difat_sectors[difat_index]) +
                                 std::uint64_t{beyond % per_difat_sector} * cfb::kSectorNumberSize);
}

// The FAT's sector `index`, its entries: each sector of the FAT is read whole, once, the first
// time a chain needs it, so that however the chains run the file is read no more than its FAT.
Parsed<const std::uint32_t*> fat_entries(CompoundFile& file, std::uint32_t index) {
    const std::uint32_t per_sector = entries_per_sector(file);
    if (file.fat.empty())
        file.fat.resize(
            static_cast<std::size_t>((file.sector_count + per_sector - 1) / per_sector));
    std::vector<std::uint32_t>& entries = file.fat[index];
    if (entries.empty()) {
        const auto fat = fat_sector(file, index);
        if (!fat.ok())
            return failed<const std::uint32_t*>(fat.failure);
        if (fat.value >= file.sector_count)
            return failed<const std::uint32_t*>(kFatDamaged);
        std::uint8_t bytes[std::size_t{1} << cfb::kSectorShiftVersion4];
        if (!read_at(file, sector_offset(file, fat.value), bytes, file.sector_size))
            return failed<const std::uint32_t*>(kCutShort);
        entries.resize(per_sector);
        for (std::uint32_t i = 0; i < per_sector; ++i)
            entries[i] = u32_at(bytes + std::size_t{i} * cfb::kSectorNumberSize);
    }
    return {entries.data(), {}};
}

} // namespace

bool read_at(CompoundFile& file, std::uint64_t offset, std::uint8_t* out, std::size_t count) {
    if (offset > file.file_size || count > file.file_size - offset)
        return false;
    file.in.clear();
    file.in.seekg(static_cast<std::streamoff>(offset));
    file.in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(count));
    return file.in.gcount() == static_cast<std::streamsize>(count);
}

std::uint64_t sector_offset(const CompoundFile& file, std::uint32_t sector) {
    return (std::uint64_t{sector} + 1) * file.sector_size;
}

Parsed<std::vector<std::uint32_t>> sector_chain(CompoundFile& file, std::uint32_t first,
                                                std::uint64_t keep) {
    using Chain = std::vector<std::uint32_t>;
    Parsed<Chain> chain;
    // A bit a sector: a loop is refused where it closes, not after as many steps as the file
    // has sectors. The steps use plain words, as the checker is built unoptimised and a chain
    // may run through all of a 4 GiB pack's 8 million sectors.
    std::vector<std::uint64_t> visited(static_cast<std::size_t>((file.sector_count + 63) / 64));
    std::uint64_t* const seen = visited.data();
    const std::uint32_t per_sector = entries_per_sector(file);
    const std::uint32_t* entries = nullptr; // the FAT sector of the step before
    std::uint32_t entries_index = 0;
    for (std::uint32_t sector = first; sector != cfb::kEndOfChain;) {
        if (sector >= file.sector_count)
            return failed<Chain>("a sector chain of the compound file runs past its end");
        const std::uint64_t bit = std::uint64_t{1} << (sector % 64);
        if ((seen[sector / 64] & bit) != 0)
            return failed<Chain>("a sector chain of the compound file loops");
        seen[sector / 64] |= bit;
        if (chain.value.size() < keep)
            chain.value.push_back(sector);
        if (!entries || sector / per_sector != entries_index) {
            entries_index = sector / per_sector;
            const auto loaded = fat_entries(file, entries_index);
            if (!loaded.ok())
                return failed<Chain>(loaded.failure);
            entries = loaded.value;
        }
        sector = entries[sector % per_sector];
    }
    return chain;
}

Parsed<std::uint64_t> offset_in_chain(const CompoundFile& file,
                                      const std::vector<std::uint32_t>& chain, std::uint64_t offset,
                                      const char* damage) {
    const std::uint64_t index = offset / file.sector_size;
    if (index >= chain.size())
        return failed<std::uint64_t>(damage);
    return {sector_offset(file, chain[static_cast<std::size_t>(index)]) + offset % file.sector_size,
            {}};
}

} // namespace corvath::msp
