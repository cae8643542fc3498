// Finds the payload size that makes a package exactly a given number of bytes long.
#pragma once

#include "byte_writer.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace corvath::patchkit {

// Builds the package for a payload of the given size (to wherever the caller keeps it) and
// gives its size; nothing on failure.
using PackageForPayload = std::function<std::optional<std::uint64_t>(std::uint64_t payload_size)>;

// The package size grows with the payload in steps (512-byte sectors, FAT and DIFAT sectors),
// so some sizes cannot be had at all. Searches payload sizes 0..wanted until a build gives
// exactly `wanted` bytes, which is then the last package built; false with `error` explaining
// which sizes bracket it otherwise.
bool build_package_of_size(std::uint64_t wanted, const PackageForPayload& build,
                           std::uint64_t& payload_size, std::string& error);

} // namespace corvath::patchkit
