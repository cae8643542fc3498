// Assembles a patch package: root summary, empty string pool, one transform pair per product
// the patch carries changes for, and the cabinet with the new files.
#pragma once

#include "byte_writer.h"
#include "product_layout.h"
#include "storage_tree.h"
#include "transform.h"

#include <optional>
#include <string>
#include <vector>

namespace corvath::patchkit {

// What a patch says of itself in its MsiPatchMetadata and MsiPatchSequence tables: the name that
// Windows lists under installed updates, whether the patch may be removed, and the family and
// sequence for which Windows Installer caches baselines, so that it can remove the patch
// without the original package.
struct PatchMetadata {
    bool allow_removal = true;
    std::string display_name;
    std::string manufacturer;
    std::string target_product;
    std::string classification;
    std::string description;
    std::string family;   // MsiPatchSequence.PatchFamily
    std::string sequence; // MsiPatchSequence.Sequence, a version
    // MsiPatchSequence.Attributes; 0x1 supersedes earlier patches of the family. None: NULL.
    std::optional<std::int16_t> sequence_attributes = std::nullopt;
    bool minor_update_target_rtm = false; // a row MinorUpdateTargetRTM = 1
};

// A transform pair beyond those `transform_products` get: its own baseline, product code after,
// storage name and validation flags.
struct PairDefinition {
    std::string product_code;
    std::string from_version;
    std::string to_version;
    std::string to_product_code = {}; // empty: the product code stays
    std::string storage_name = {};    // empty: numbered after the definition's transform_prefix
    std::int32_t validation = real_tools_validation;
};

struct PatchDefinition {
    // Summary property 7 exactly as written, or nothing to leave the property out.
    std::optional<std::string> target_list;
    // Products that get a transform pair (the installer only patches those), from_version to
    // to_version; then `pairs`, in their order.
    std::vector<std::string> transform_products;
    std::vector<PairDefinition> pairs = {};
    std::string patch_code;                          // braced GUID, the start of summary property 9
    std::string title;                               // summary property 3
    ClassId root_class = msi_patch_class;            // what the file says it is
    std::optional<PatchMetadata> metadata;           // no tables at all without it
    std::string transform_prefix = "Corvath81To82";  // the transforms' storages, numbered after it
    std::string from_version{layout::base_version};  // the targets' ProductVersion, as written
    std::string to_version{layout::patched_version}; // after; the same when it leaves it alone
    const Bytes* exe = nullptr;                      // nullptr: the patch brings corvath.dat alone
    const Bytes* data = nullptr;
    std::string data_path = {}; // instead of data, for a payload too big to hold: read as it goes
};

std::optional<Bytes> build_patch_package(const PatchDefinition& definition, std::string& error);
// The same, written to `path` as it goes, the cabinet through a scratch file beside it; the
// package's size.
std::optional<std::uint64_t> build_patch_package_to(const PatchDefinition& definition,
                                                    const std::string& path, std::string& error);

// ";"-joined list, the form summary properties 7 and 8 take.
std::string join_list(const std::vector<std::string>& items);

} // namespace corvath::patchkit
