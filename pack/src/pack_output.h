// Writing a pack front to back, its checksum taken on the way.
#pragma once

#include "pack_image.h"

#include <cstddef>
#include <cstdint>

namespace corvath::pack {

void checksum_add(PeChecksum& checksum, const std::uint8_t* bytes, std::size_t size);
// The sum folded to 16 bits plus the length, as CheckSumMappedFile gives it when the CheckSum
// field was counted as zero.
std::uint32_t checksum_value(const PeChecksum& checksum);

bool write_out(PackOutput& out, const std::uint8_t* bytes, std::size_t size);
// Zeros up to `offset` in the file; false when the output is already past it.
bool write_zeros_to(PackOutput& out, std::uint64_t offset);

} // namespace corvath::pack
