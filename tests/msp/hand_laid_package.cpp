#include "hand_laid_package.h"

#include "property_set.h"
#include "storage_tree.h"
#include "stream_name.h"
#include "string_pool.h"

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace hand_laid {
namespace {

using namespace corvath::patchkit;

constexpr std::uint32_t kSectorSize = 512;
constexpr std::uint32_t kMiniSectorSize = 64;
constexpr std::uint32_t kEntrySize = 128;
constexpr std::uint32_t kEntriesPerSector = kSectorSize / 4;
constexpr std::uint32_t kDifatEntriesPerSector = kEntriesPerSector - 1; // the last links on
constexpr std::uint32_t kHeaderDifatEntries = 109;

// Sector numbers that name no sector.
constexpr std::uint32_t kFree = 0xFFFFFFFF; // FREESECT; NOSTREAM in the directory
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;

constexpr const char* kTargets = "{6513270E-4F3E-0D37-F2A7-4DE452E6B438}";

std::size_t sector_at(std::uint64_t sector) {
    return static_cast<std::size_t>((sector + 1) * kSectorSize);
}

void put_at(Bytes& bytes, std::size_t at, std::uint32_t value, std::size_t width = 4) {
    for (std::size_t i = 0; i < width; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t u32_of(const Bytes& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

struct Header {
    std::uint32_t fat_sectors = 1;
    std::uint32_t first_directory = 0;
    std::uint32_t first_mini_fat = 0;
    std::uint32_t mini_fat_sectors = 1;
    std::uint32_t first_difat = kEndOfChain;
    std::uint32_t difat_sectors = 0;
    std::vector<std::uint32_t> fat; // the FAT's sectors, in order: the first 109 go here
};

Bytes header_of(const Header& fields) {
    Bytes header(kSectorSize, 0);
    const std::uint8_t signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(std::begin(signature), std::end(signature), header.begin());
    put_at(header, 0x18, 0x003E, 2); // minor version
    put_at(header, 0x1A, 3, 2);      // major version: 512-byte sectors
    put_at(header, 0x1C, 0xFFFE, 2); // byte order
    put_at(header, 0x1E, 9, 2);      // sector shift
    put_at(header, 0x20, 6, 2);      // mini sector shift
    put_at(header, 0x2C, fields.fat_sectors);
    put_at(header, 0x30, fields.first_directory);
    put_at(header, kHeaderMiniStreamCutoff, 4096);
    put_at(header, 0x3C, fields.first_mini_fat);
    put_at(header, 0x40, fields.mini_fat_sectors);
    put_at(header, 0x44, fields.first_difat);
    put_at(header, 0x48, fields.difat_sectors);
    for (std::uint32_t i = 0; i < kHeaderDifatEntries; ++i)
        put_at(header, 0x4C + 4 * i, i < fields.fat.size() ? fields.fat[i] : kFree);
    return header;
}

// Entry `id` of a directory: its name with the terminator, its type, black, its right sibling
// (the entries hang from the root as a list), its child, class id, start and size.
void put_entry(Bytes& directory, std::uint32_t id, std::u16string_view name, std::uint8_t type,
               std::uint32_t right, std::uint32_t child, const ClassId& class_id,
               std::uint32_t start, std::uint32_t size) {
    const std::size_t at = id * kEntrySize;
    for (std::size_t i = 0; i < name.size(); ++i)
        put_at(directory, at + 2 * i, name[i], 2);
    put_at(directory, at + 64, static_cast<std::uint32_t>(2 * (name.size() + 1)), 2);
    directory[at + 66] = type;
    directory[at + 67] = 1;
    put_at(directory, at + 68, kFree);
    put_at(directory, at + 72, right);
    put_at(directory, at + 76, child);
    std::copy(class_id.begin(), class_id.end(), directory.begin() + at + 80);
    put_at(directory, at + 116, start);
    put_at(directory, at + 120, size);
}

// The directory (two sectors), the mini FAT's first sector and the mini stream (one sector) of
// a patch whose mini stream starts at sector `mini_stream`.
struct Streams {
    Bytes directory = Bytes(2 * kSectorSize, 0);
    Bytes mini_fat = Bytes(kSectorSize, 0xFF);
    Bytes mini_stream = Bytes(kSectorSize, 0);
};

Streams lay_out_streams(const Metadata& metadata, std::uint32_t mini_stream) {
    const Bytes summary =
        write_summary_information({{7, std::string(kTargets)}, {9, std::string(kPatchCode)}})
            .value();
    const std::u16string names[] = {u"\x0005SummaryInformation",
                                    encode_stream_name("_StringPool", StreamKind::Table),
                                    encode_stream_name("_StringData", StreamKind::Table),
                                    encode_stream_name("MsiPatchMetadata", StreamKind::Table)};
    const Bytes* contents[] = {&summary, &metadata.pool, &metadata.data, &metadata.table};

    Streams laid;
    std::uint32_t next = 0;
    for (std::uint32_t id = kSummary; id <= kStreams; ++id) {
        const Bytes& content = *contents[id - 1];
        const auto count =
            static_cast<std::uint32_t>((content.size() + kMiniSectorSize - 1) / kMiniSectorSize);
        std::copy(content.begin(), content.end(),
                  laid.mini_stream.begin() + std::size_t{next} * kMiniSectorSize);
        for (std::uint32_t i = 0; i < count; ++i)
            put_at(laid.mini_fat, 4 * (next + i), i + 1 < count ? next + i + 1 : kEndOfChain);
        put_entry(laid.directory, id, names[id - 1], 2, id < kStreams ? id + 1 : kFree, kFree, {},
                  next, static_cast<std::uint32_t>(content.size()));
        next += count;
    }
    put_entry(laid.directory, 0, u"Root Entry", 5, kFree, kSummary, msi_patch_class, mini_stream,
              next * kMiniSectorSize);
    for (std::uint32_t unused = kStreams + 1; unused < 8; ++unused)
        for (std::size_t field : {68, 72, 76})
            put_at(laid.directory, unused * kEntrySize + field, kFree);
    return laid;
}

void append(Bytes& to, const Bytes& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

} // namespace

Metadata allows_removal() {
    StringPool pool;
    const std::uint16_t property = pool.reference("AllowRemoval").value();
    const std::uint16_t value = pool.reference("1").value();
    // One row, stored a column after another: Company (none), Property, Value.
    Bytes table;
    put_u16(table, 0);
    put_u16(table, property);
    put_u16(table, value);
    return {pool.pool_stream(), pool.data_stream(), table};
}

void SmallPatch::put(std::size_t at, std::uint32_t value, std::size_t width) {
    put_at(bytes, at, value, width);
}

std::size_t SmallPatch::start_of(StreamId id) const {
    return sector_at(1) + id * kEntrySize + 116;
}

std::size_t SmallPatch::size_of(StreamId id) const {
    return sector_at(1) + id * kEntrySize + 120;
}

std::uint32_t SmallPatch::first_mini_sector(StreamId id) const {
    return u32_of(bytes, start_of(id));
}

std::size_t SmallPatch::last_link_of(StreamId id) const {
    std::uint32_t last = first_mini_sector(id);
    while (u32_of(bytes, sector_at(3) + 4 * last) != kEndOfChain)
        last = u32_of(bytes, sector_at(3) + 4 * last);
    return sector_at(3) + 4 * last;
}

void SmallPatch::write(const std::filesystem::path& path) const {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

SmallPatch small_patch(const Metadata& metadata) {
    const Streams laid = lay_out_streams(metadata, 4);
    Bytes fat(kSectorSize, 0xFF);
    for (const auto& [sector, next] : {std::pair{0u, kFatSector},
                                       {1u, 2u},
                                       {2u, kEndOfChain},
                                       {3u, kEndOfChain},
                                       {4u, kEndOfChain}})
        put_at(fat, 4 * sector, next);
    SmallPatch patch;
    patch.bytes = header_of({.fat_sectors = 1,
                             .first_directory = 1,
                             .first_mini_fat = 3,
                             .mini_fat_sectors = 1,
                             .first_difat = kEndOfChain,
                             .difat_sectors = 0,
                             .fat = {0}});
    append(patch.bytes, fat);
    append(patch.bytes, laid.directory);
    append(patch.bytes, laid.mini_fat);
    append(patch.bytes, laid.mini_stream);
    return patch;
}

void write_long_chain_patch(const std::filesystem::path& path, std::uint64_t size, ChainEnd end) {
    // Directory in sectors 0 and 1, the mini stream in 2, the mini FAT from 3 to just before
    // the DIFAT, and the FAT in the last sectors.
    const std::uint64_t sectors = size / kSectorSize - 1;
    const std::uint64_t fat_sectors = (sectors + kEntriesPerSector - 1) / kEntriesPerSector;
    const std::uint64_t difat_sectors =
        fat_sectors <= kHeaderDifatEntries
            ? 0
            : (fat_sectors - kHeaderDifatEntries + kDifatEntriesPerSector - 1) /
                  kDifatEntriesPerSector;
    const auto first_difat = static_cast<std::uint32_t>(sectors - fat_sectors - difat_sectors);
    const auto first_fat = static_cast<std::uint32_t>(first_difat + difat_sectors);

    // The FAT, computed an entry at a time and written as it goes: the test that checks the
    // checker's memory forks it, and a child starts with what its parent holds.
    const auto fat_entry = [&](std::uint64_t sector) -> std::uint32_t {
        if (sector == 0)
            return 1;
        if (sector < 3 || sector + 1 == first_difat)
            return sector == first_difat - 1 && end == ChainEnd::Loop ? 3 : kEndOfChain;
        if (sector < first_difat)
            return static_cast<std::uint32_t>(sector + 1);
        if (sector < first_fat)
            return kDifatSector;
        return sector < sectors ? kFatSector : kFree;
    };

    Header header{.fat_sectors = static_cast<std::uint32_t>(fat_sectors),
                  .first_directory = 0,
                  .first_mini_fat = 3,
                  .mini_fat_sectors = first_difat - 3,
                  .first_difat = difat_sectors != 0 ? first_difat : kEndOfChain,
                  .difat_sectors = static_cast<std::uint32_t>(difat_sectors),
                  .fat = {}};
    for (std::uint64_t i = 0; i < fat_sectors; ++i)
        header.fat.push_back(static_cast<std::uint32_t>(first_fat + i));
    // The DIFAT lists the FAT's sectors after the header's 109, each sector linking to the next.
    Bytes difat(static_cast<std::size_t>(difat_sectors) * kSectorSize, 0xFF);
    for (std::uint64_t i = kHeaderDifatEntries; i < fat_sectors; ++i) {
        const std::uint64_t beyond = i - kHeaderDifatEntries;
        put_at(difat,
               static_cast<std::size_t>((beyond / kDifatEntriesPerSector) * kSectorSize +
                                        (beyond % kDifatEntriesPerSector) * 4),
               header.fat[i]);
    }
    for (std::uint64_t j = 0; j < difat_sectors; ++j)
        put_at(difat, static_cast<std::size_t>(j * kSectorSize + kDifatEntriesPerSector * 4),
               j + 1 < difat_sectors ? static_cast<std::uint32_t>(first_difat + j + 1)
                                     : kEndOfChain);

    const Streams laid = lay_out_streams(allows_removal(), 2);
    Bytes head = header_of(header);
    append(head, laid.directory);
    append(head, laid.mini_stream);
    append(head, laid.mini_fat);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const auto write = [&out](const Bytes& bytes) {
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    };
    write(head);
    // What lies between is never written: a hole of the sparse file, read as zeros.
    out.seekp(static_cast<std::streamoff>(sector_at(first_difat)));
    write(difat);
    Bytes piece;
    for (std::uint64_t sector = 0; sector < fat_sectors * kEntriesPerSector; ++sector) {
        put_u32(piece, fat_entry(sector));
        if (piece.size() == 64 * kSectorSize || sector + 1 == fat_sectors * kEntriesPerSector) {
            write(piece);
            piece.clear();
        }
    }
}

} // namespace hand_laid
