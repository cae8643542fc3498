// Writes a storage tree as an OLE compound file (version 3, 512-byte sectors) through libgsf.
#pragma once

#include "storage_tree.h"

#include <optional>
#include <string>

namespace corvath::patchkit {

// The whole file in memory; nothing on failure, with `error` saying why.
std::optional<Bytes> write_compound_file(const StorageNode& root, std::string& error);

// The file written to `path` as it goes (through "<path>.part", renamed when complete), so that
// a package of any size needs little memory; its size, or nothing with `error`.
std::optional<std::uint64_t> write_compound_file_to(const StorageNode& root,
                                                    const std::string& path, std::string& error);

} // namespace corvath::patchkit
