// Reads an image's resource directory (type, name, language) into a tree.
#pragma once

#include "resource_tree.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace corvath::pack {

// `section` is .rsrc's raw data, mapped at `section_rva`; the root directory lies at `root`
// within it. A refusal, one line, when the directory or a resource lies outside the section,
// has other than three levels, loops, shares a part or names a resource twice.
std::optional<std::string> read_resource_directory(const std::uint8_t* section, std::size_t size,
                                                   std::uint32_t section_rva, std::uint32_t root,
                                                   ResourceTree& resources);

} // namespace corvath::pack
