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

// Summary property 16 of both transforms of a pair, as real patch tools write it: the upper word
// holds what Windows Installer validates (product code 0x2, major.minor.update version 0x20,
// installed version equal to the base 0x100, upgrade code 0x800), the lower word the error
// conditions it ignores (0x1F). Wine 8 reads the lower word as the validation flags instead
// (language, product, platform, and the major version alone: with 0x8 it drops 0x10); both pass,
// as "#X" names the version "X" leaves.
inline constexpr std::int32_t real_tools_validation = 0x0922001F;

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
    std::string to_product_code; // empty: the product code stays (no major upgrade)
    std::int32_t validation = real_tools_validation; // property 16 of both transforms
};

struct TransformPair {
    StorageNode upgrade;
    StorageNode patch;
};

std::optional<TransformPair> build_transform_pair(const TransformTarget& target);

} // namespace corvath::patchkit
