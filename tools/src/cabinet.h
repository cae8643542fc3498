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
    std::string path = {}; // instead of data: the file's bytes are read from here as they go
};

// An uncompressed cabinet, so that its size, and the package's, follows the payload exactly.
std::optional<Bytes> build_cabinet(const std::vector<CabinetEntry>& entries, std::string& error);
// The same, written to `path` as it goes: a payload of any size needs little memory.
bool build_cabinet_to(const std::vector<CabinetEntry>& entries, const std::string& path,
                      std::string& error);

} // namespace corvath::patchkit
