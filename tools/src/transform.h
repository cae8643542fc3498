// The two transforms through which a patch moves one product from one version to another (the
// sample's 8.1.0.4 to 8.2.0.5), or replaces a file and leaves the version as it is: "<name>"
// updates the product's own tables (version, file sizes and versions), "#<name>" points the
// files at the patch's cabinet.
#pragma once

#include "storage_tree.h"

#include <cstdint>
#include <optional>
#include <string>

namespace corvath::patchkit {

// Validation flags in the transforms' summary property 16. Low word: what must match (language
// 0x1, product code 0x2, platform 0x4, major.minor version 0x8, upgrade code 0x800); high word:
// which differences are not errors. Only bits Wine understands are used: any other makes it
// skip the transform.
inline constexpr std::int32_t upgrade_transform_flags = 0x001F080B;
// No version bit: the first transform has already moved ProductVersion to 8.2 when this one
// is checked, so it could never match 8.1.
inline constexpr std::int32_t patch_transform_flags = 0x001F0803;

// Name of the cabinet stream in the patch's root, and the Media.Cabinet value that names it.
inline constexpr std::string_view patch_cabinet_stream = "PATCH_CAB";
inline constexpr std::string_view patch_cabinet_reference = "#PATCH_CAB";

struct TransformTarget {
    std::string product_code;    // braced, as the product's ProductCode property holds it
    std::string storage_name;    // the upgrade transform's substorage; "#" + it for the other
    std::uint32_t exe_size = 0;  // new corvath.exe
    std::uint32_t data_size = 0; // new corvath.dat
    std::string from_version;    // the product's ProductVersion before, as it is written
    std::string to_version;      // and after: the same for a patch that leaves it alone
    bool replaces_exe = true;    // false: the patch brings corvath.dat alone
};

struct TransformPair {
    StorageNode upgrade;
    StorageNode patch;
};

std::optional<TransformPair> build_transform_pair(const TransformTarget& target);

} // namespace corvath::patchkit
