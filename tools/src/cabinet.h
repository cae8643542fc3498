// The cabinet the patch carries: the new files, each named by its File table key.
#pragma once

#include "byte_writer.h"

#include <optional>
#include <string>
#include <vector>

namespace corvath::patchkit {

struct CabinetEntry {
    std::string name; // the File table key: the installer looks files up by it
    const Bytes* data = nullptr;
};

// An uncompressed cabinet, so that its size, and the package's, follows the payload exactly.
std::optional<Bytes> build_cabinet(const std::vector<CabinetEntry>& entries, std::string& error);

} // namespace corvath::patchkit
