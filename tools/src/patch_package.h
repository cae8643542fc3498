// Assembles a patch package: root summary, empty string pool, one transform pair per product
// the patch carries changes for, and the cabinet with the new files.
#pragma once

#include "byte_writer.h"
#include "storage_tree.h"

#include <optional>
#include <string>
#include <vector>

namespace corvath::patchkit {

struct PatchDefinition {
    // Summary property 7 exactly as written, or nothing to leave the property out.
    std::optional<std::string> target_list;
    // Products that get a transform pair (the installer only patches those).
    std::vector<std::string> transform_products;
    std::string patch_code;               // braced GUID, the start of summary property 9
    std::string title;                    // summary property 3
    ClassId root_class = msi_patch_class; // what the file says it is
    const Bytes* exe = nullptr;
    const Bytes* data = nullptr;
};

std::optional<Bytes> build_patch_package(const PatchDefinition& definition, std::string& error);

// ";"-joined list, the form summary properties 7 and 8 take.
std::string join_list(const std::vector<std::string>& items);

} // namespace corvath::patchkit
