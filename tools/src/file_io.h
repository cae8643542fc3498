// Whole-file reads and writes for the command-line tools.
#pragma once

#include "byte_writer.h"

#include <optional>
#include <string>
#include <string_view>

namespace corvath::patchkit {

std::optional<Bytes> read_whole_file(const std::string& path);
// The first `size` bytes of a file (fewer when it is shorter).
std::optional<Bytes> read_file_prefix(const std::string& path, std::uint64_t size);

// Writes to "<path>.part" and renames it over `path`, so a failed run never leaves a file
// that looks complete; the partial file is removed on failure.
bool write_whole_file(const std::string& path, const std::uint8_t* data, std::size_t size);
inline bool write_whole_file(const std::string& path, const Bytes& data) {
    return write_whole_file(path, data.data(), data.size());
}
inline bool write_whole_file(const std::string& path, std::string_view text) {
    return write_whole_file(path, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

} // namespace corvath::patchkit
