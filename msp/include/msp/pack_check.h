// What the packer says about the patch it is to carry, in the order it has always
// checked: the file and its size, the compound file and its root class, summary properties 7
// and 9, whether the patch can be removed, and then the versions its transforms say it changes,
// which the pack carries unless the release engineer gives its options.
#pragma once

#include "msp/pack_detection.h"
#include "msp/pack_versions.h"
#include "msp/patch_rules.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvath::msp {

struct PackCheck {
    std::vector<std::string> warnings;  // printed, the build goes on
    std::vector<std::string> notes;     // printed as they are: what the pack is, not a fault
    std::optional<std::string> refusal; // the rule the patch breaks: the build stops
    std::string patch_code;             // when not refused
    bool allows_removal = false;
    // MsiPatchMetadata's DisplayName and Description (UTF-8), when the patch has them and their
    // code page can be read.
    std::optional<std::string> display_name;
    std::optional<std::string> description;
    std::vector<TransformVersions> transforms; // as summary property 8 lists them
    PackVersions versions;                     // when not refused
    PackDetection detection;                   // when not refused
};

PackCheck check_pack_patch(const std::filesystem::path& path, const VersionOptions& options = {});

} // namespace corvath::msp
