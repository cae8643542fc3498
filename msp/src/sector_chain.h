// Reads at offsets of the compound file, and follows its sector chains through the FAT (its
// sectors found through the DIFAT) and the mini FAT.
#pragma once

#include "msp/compound_file.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvath::msp {

inline constexpr const char* kCutShort =
    "the compound file is cut short (it ends inside what its header describes)";

// False when the file ends before `count` bytes at `offset`.
bool read_at(CompoundFile& file, std::uint64_t offset, std::uint8_t* out, std::size_t count);

std::uint64_t sector_offset(const CompoundFile& file, std::uint32_t sector);

// Every sector of the chain that starts at `first`, to its end mark, or its first `keep` when
// no more can be looked up in it; the chain is walked to its end mark either way, and refused
// when it runs past the file or comes back to a sector it has visited.
Parsed<std::vector<std::uint32_t>> sector_chain(CompoundFile& file, std::uint32_t first,
                                                std::uint64_t keep = UINT64_MAX);

// The file offset of byte `offset` of a stream whose sectors are `chain`; `damage` when the
// chain is shorter.
Parsed<std::uint64_t> offset_in_chain(const CompoundFile& file,
                                      const std::vector<std::uint32_t>& chain, std::uint64_t offset,
                                      const char* damage);

} // namespace corvath::msp
