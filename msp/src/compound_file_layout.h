// The compound file on disk, in the format's own words: a 512-byte header, then sectors
// numbered from 0 (sector N starts at (N + 1) * sector size). The FAT chains the sectors of
// each stream, the DIFAT lists the FAT's own sectors (the first 109 in the header), and the
// directory's 128-byte entries name the streams. Streams below the mini stream cutoff live in
// 64-byte mini sectors of the root entry's stream, chained by the mini FAT. Little-endian.
#pragma once

#include <cstdint>

namespace corvath::msp::cfb {

// The header.
inline constexpr std::uint64_t kHeaderSize = 512;
inline constexpr std::uint64_t kHeaderSignature = 0; // 8 bytes: kSignature
inline constexpr std::uint64_t kHeaderSectorShift = 30;
inline constexpr std::uint64_t kHeaderMiniSectorShift = 32;
inline constexpr std::uint64_t kHeaderFirstDirectorySector = 48;
inline constexpr std::uint64_t kHeaderMiniStreamCutoffSize = 56;
inline constexpr std::uint64_t kHeaderFirstMiniFatSector = 60;
inline constexpr std::uint64_t kHeaderFirstDifatSector = 68;
inline constexpr std::uint64_t kHeaderDifat = 76; // kHeaderDifatEntries FAT sector numbers
inline constexpr std::uint32_t kHeaderDifatEntries = 109;

inline constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
inline constexpr std::uint16_t kSectorShiftVersion3 = 9;  // 512-byte sectors
inline constexpr std::uint16_t kSectorShiftVersion4 = 12; // 4096-byte sectors
inline constexpr std::uint16_t kMiniSectorShift = 6;
inline constexpr std::uint32_t kMiniSectorSize = 1u << kMiniSectorShift;
inline constexpr std::uint32_t kMiniStreamCutoffSize = 4096;

// Sector numbers that name no sector.
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE; // ENDOFCHAIN
inline constexpr std::uint32_t kNoStream = 0xFFFFFFFF;   // NOSTREAM: no sibling, no child

// A FAT, mini FAT or DIFAT entry is a 32-bit sector number; a DIFAT sector's last entry
// links to the next DIFAT sector.
inline constexpr std::uint32_t kSectorNumberSize = 4;

// A directory entry. Entry 0 is the root; its stream is the mini stream.
inline constexpr std::uint64_t kDirectoryEntrySize = 128;
inline constexpr std::uint64_t kDirectoryEntryName = 0;        // UTF-16, terminator included
inline constexpr std::uint64_t kDirectoryEntryNameLength = 64; // bytes, terminator included
inline constexpr std::uint64_t kDirectoryEntryLeftSibling = 68;
inline constexpr std::uint64_t kDirectoryEntryRightSibling = 72;
inline constexpr std::uint64_t kDirectoryEntryChild = 76;
inline constexpr std::uint64_t kDirectoryEntryClassId = 80; // 16 bytes
inline constexpr std::uint64_t kDirectoryEntryStartSector = 116;
// The low half of the 64-bit size: version 3 files may leave the high half undefined, and a
// package under 4 GiB has no larger stream.
inline constexpr std::uint64_t kDirectoryEntryStreamSize = 120;
inline constexpr std::uint16_t kDirectoryEntryMaxNameLength = 64;

} // namespace corvath::msp::cfb
