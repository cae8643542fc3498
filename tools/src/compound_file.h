// Writes a storage tree as an OLE compound file (version 3, 512-byte sectors) through libgsf.
#pragma once

#include "storage_tree.h"

#include <optional>
#include <string>

namespace corvath::patchkit {

// The whole file in memory; nothing on failure, with `error` saying why.
std::optional<Bytes> write_compound_file(const StorageNode& root, std::string& error);

} // namespace corvath::patchkit
