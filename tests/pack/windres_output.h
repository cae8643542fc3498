// Resources as MinGW's windres compiles them, to hold the packer's bytes against: a script is
// compiled to a .res file in a temporary folder and its entries read back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pack_test {

struct CompiledResource {
    std::uint16_t type = 0; // integer ids only; entries named by text are skipped
    std::uint16_t name = 0;
    std::uint16_t language = 0;
    std::vector<std::uint8_t> bytes;
};

// Our version.rc with the versions the build would give it, its build date 01.02.2026:
// `target` "8.2.0.5", `release` "8, 2, 0, 0".
std::string version_script(const std::string& target, const std::string& release);

// Nothing when windres fails or its output cannot be read.
std::optional<std::vector<CompiledResource>> compile_with_windres(const std::string& script);

const CompiledResource* find_compiled(const std::vector<CompiledResource>& resources,
                                      std::uint16_t type, std::uint16_t name,
                                      std::uint16_t language);

} // namespace pack_test
