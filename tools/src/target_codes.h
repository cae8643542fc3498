// The product codes a patch targets, read from a text file with one braced code per line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvath::patchkit {

// Lines may end in LF or CR LF; blank lines are ignored. Nothing, with `error` naming the
// line, when a line is not an upper-case braced GUID (the installer compares codes
// case-sensitively) or the file holds no code.
std::optional<std::vector<std::string>> read_target_codes(const std::string& path,
                                                          std::string& error);

} // namespace corvath::patchkit
