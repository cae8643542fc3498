// A patch package's summary: the two properties the service pack and its tools read.
#pragma once

#include "msp/compound_file.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvath::msp {

struct PatchSummary {
    std::optional<std::string> targets; // property 7, the target product codes; nothing when absent
    std::optional<std::string> revision; // property 9: the patch code, then the codes it obsoletes
};

// The root's summary information stream.
Parsed<Bytes> read_summary_stream(CompoundFile& file,
                                  const std::vector<DirectoryEntry>& root_children);

// Properties 7 and 9 of a package, whatever its root class.
Parsed<PatchSummary> read_patch_summary(const std::filesystem::path& path);

} // namespace corvath::msp
