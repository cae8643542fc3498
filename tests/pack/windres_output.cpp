#include "windres_output.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace pack_test {
namespace {

std::uint32_t u32_at(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
           (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

std::uint16_t u16_at(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

// A type or name field: 0xFFFF and an id, or a text (returned as id 0).
std::optional<std::uint16_t> read_key(const std::vector<std::uint8_t>& bytes, std::size_t& at,
                                      std::size_t end) {
    if (end - at < 4) {
        return std::nullopt;
    }
    if (u16_at(bytes, at) == 0xFFFF) {
        at += 4;
        return u16_at(bytes, at - 2);
    }
    while (end - at >= 2 && u16_at(bytes, at) != 0) {
        at += 2;
    }
    at += 2;
    return 0;
}

std::optional<std::vector<CompiledResource>> read_res(const std::vector<std::uint8_t>& bytes) {
    std::vector<CompiledResource> resources;
    std::size_t at = 0;
    while (bytes.size() - at >= 32) {
        const std::size_t data_size = u32_at(bytes, at);
        const std::size_t header_size = u32_at(bytes, at + 4);
        if (header_size < 32 || bytes.size() - at - header_size < data_size) {
            return std::nullopt;
        }
        std::size_t cursor = at + 8;
        const auto type = read_key(bytes, cursor, at + header_size);
        const auto name = read_key(bytes, cursor, at + header_size);
        if (!type || !name) {
            return std::nullopt;
        }
        cursor = (cursor + 3) & ~std::size_t{3};
        CompiledResource resource{*type, *name, u16_at(bytes, cursor + 6), {}};
        const auto data = bytes.begin() + static_cast<std::ptrdiff_t>(at + header_size);
        resource.bytes.assign(data, data + static_cast<std::ptrdiff_t>(data_size));
        if (*type != 0 && *name != 0) {
            resources.push_back(std::move(resource));
        }
        at = (at + header_size + data_size + 3) & ~std::size_t{3};
    }
    return resources;
}

} // namespace

std::string version_script(const std::string& target, const std::string& release) {
    std::string target_commas = target;
    std::string release_commas;
    for (const char c : release) {
        release_commas += c == ' ' ? "" : std::string(1, c);
    }
    for (char& c : target_commas) {
        c = c == '.' ? ',' : c;
    }
    return "#include <winresrc.h>\n"
           "#define CORVATH_SP_TARGET_VERSION \"" +
           target + "\"\n#define CORVATH_SP_TARGET_VERSION_COMMAS " + target_commas +
           "\n#define CORVATH_SP_TARGET_BASE_COMMAS " + release_commas +
           "\n#define CORVATH_SP_TARGET_BASE_TEXT \"" + release +
           "\"\n#define CORVATH_SP_BUILD_DATE \"01.02.2026\"\n"
           "#include \"" CORVATH_RESOURCES_DIR "/version.rc\"\n";
}

std::optional<std::vector<CompiledResource>> compile_with_windres(const std::string& script) {
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::temp_directory_path() / ("corvath-pack-windres-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path source = folder / "script.rc";
    const fs::path compiled = folder / "script.res";
    std::ofstream(source, std::ios::binary) << script;
    const std::string command = std::string(CORVATH_WINDRES) + " -O res \"" + source.string() +
                                "\" \"" + compiled.string() + "\"";
    std::optional<std::vector<CompiledResource>> resources;
    if (std::system(command.c_str()) == 0) {
        std::ifstream in(compiled, std::ios::binary);
        resources = read_res({std::istreambuf_iterator<char>(in), {}});
    }
    fs::remove_all(folder);
    return resources;
}

const CompiledResource* find_compiled(const std::vector<CompiledResource>& resources,
                                      std::uint16_t type, std::uint16_t name,
                                      std::uint16_t language) {
    for (const CompiledResource& resource : resources) {
        if (resource.type == type && resource.name == name && resource.language == language) {
            return &resource;
        }
    }
    return nullptr;
}

} // namespace pack_test
