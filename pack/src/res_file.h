// Compiled resource files (.res, as windres -O res and rc.exe write them): the host build's base
// is one (its resource script compiled), and the packer writes the host's pack as one, which the
// simulated platform reads in place of an image's resources.
#pragma once

#include "pack_image.h"
#include "resource_tree.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvath::pack {

// A refusal, one line, when `bytes` is not a sound .res file.
std::optional<std::string> read_res_file(const std::vector<std::uint8_t>& bytes,
                                         ResourceTree& resources);

// As for an image: the head is every byte before the streamed data (the streamed resource comes
// first in the file, after the empty entry every .res file begins with), the tail writes the
// others. The checksum of the output is not used.
std::vector<std::uint8_t> res_file_head(const ResourceTree& resources);
bool write_res_tail(PackOutput& out, const ResourceTree& resources);

} // namespace corvath::pack
