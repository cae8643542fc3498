#include "sector_chain.h"

#include "compound_file_layout.h"

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
        file.difat_sectors.push_back(next);
    }
    return u32_in_file(file, sector_offset(file, file.difat_sectors[difat_index]) +
                                 std::uint64_t{beyond % per_difat_sector} * cfb::kSectorNumberSize);
}

Parsed<std::uint32_t> next_sector(CompoundFile& file, std::uint32_t sector) {
    const auto fat = fat_sector(file, sector / entries_per_sector(file));
    if (!fat.ok())
        return fat;
    if (fat.value >= file.sector_count)
        return failed<std::uint32_t>(kFatDamaged);
    return u32_in_file(file, sector_offset(file, fat.value) +
                                 std::uint64_t{sector % entries_per_sector(file)} *
                                     cfb::kSectorNumberSize);
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

Parsed<std::vector<std::uint32_t>> sector_chain(CompoundFile& file, std::uint32_t first) {
    Parsed<std::vector<std::uint32_t>> chain;
    for (std::uint32_t sector = first; sector != cfb::kEndOfChain;) {
        if (sector >= file.sector_count)
            return failed<std::vector<std::uint32_t>>(
                "a sector chain of the compound file runs past its end");
        if (chain.value.size() >= file.sector_count)
            return failed<std::vector<std::uint32_t>>("a sector chain of the compound file loops");
        chain.value.push_back(sector);
        const auto next = next_sector(file, sector);
        if (!next.ok())
            return failed<std::vector<std::uint32_t>>(next.failure);
        sector = next.value;
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
