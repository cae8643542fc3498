// The versions a pack carries (the version it brings a product to, and those it applies to),
// taken from what the patch's transforms say unless the release engineer gives them, and what
// the build tells the release engineer about them. The pack compares versions as its run does:
// "1.1.1" is 1.1.1.0.
#pragma once

#include "msp/transform_versions.h"

#include <optional>
#include <string>
#include <vector>

namespace corvath::msp {

// --target-version and --applicable-versions as given; empty: not given.
struct VersionOptions {
    std::string target;     // "8.2.0.5"
    std::string applicable; // "8.1.0.4," : each version followed by a comma
};

struct PackVersions {
    std::string target;                 // four parts: "1.1.1.0"
    std::string applicable;             // four parts, each followed by a comma: "1.1.1.0,"
    bool small_update = false;          // the target is one of the applicable versions
    bool by_version = true;             // a product at the target version has the patch
    std::optional<std::string> refusal; // the versions cannot be had: the build stops
    // The product codes a major-upgrade patch's transforms change products to, each once, in
    // their order: the run looks for products under them too.
    std::vector<std::string> upgraded_products;
    std::vector<std::string> warnings;
    std::vector<std::string> notes; // what the release engineer should know, not a fault
};

// A version as Windows Installer writes it, one to four decimal components of at most 65535,
// in four parts ("1.1.1" -> "1.1.1.0"); nothing for anything else.
std::optional<std::string> four_part_version(std::string_view text);

PackVersions decide_pack_versions(const std::vector<TransformVersions>& transforms,
                                  const VersionOptions& options);

} // namespace corvath::msp
