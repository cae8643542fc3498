// One run of the packer: checks the patch with the build's rules, makes the pack's resources from
// the base's, writes the pack in one pass over the patch (its SHA-256 taken on the way), signs
// it when asked, moves it into place, and writes the files an administrator needs beside it.
#pragma once

#include "pack_options.h"

#include <filesystem>

namespace corvath::pack {

inline constexpr const char* kBaseFileName = "corvath-sp-base.exe";

// 0 when the pack was written; 1 when something was refused (one line says what); 2 for a bad
// command line.
int run_packer(const PackOptions& options, const std::filesystem::path& packer_folder);

} // namespace corvath::pack
