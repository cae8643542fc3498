// Reads a patch package's summary information through libgsf.
#pragma once

#include <optional>
#include <string>

namespace corvath::patchkit {

struct PatchSummary {
    std::optional<std::string> targets;  // property 7, nothing when absent
    std::optional<std::string> revision; // property 9: patch code, then obsoleted codes
};

// Nothing when the file is not a compound file or has no readable summary stream.
std::optional<PatchSummary> read_patch_summary(const std::string& path, std::string& error);

// Entries of a ";"-separated list, empty ones kept.
std::string first_list_entry(const std::string& list);

} // namespace corvath::patchkit
