#include "file_io.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace corvath::patchkit {

std::optional<Bytes> read_whole_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return data;
}

std::optional<Bytes> read_file_prefix(const std::string& path, std::uint64_t size) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    Bytes data(size);
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(size));
    if (in.bad())
        return std::nullopt;
    data.resize(static_cast<std::size_t>(in.gcount()));
    return data;
}

bool write_whole_file(const std::string& path, const std::uint8_t* data, std::size_t size) {
    const std::string partial = path + ".part";
    bool ok = false;
    if (std::FILE* out = std::fopen(partial.c_str(), "wb")) {
        ok = std::fwrite(data, 1, size, out) == size;
        ok = std::fclose(out) == 0 && ok;
    }
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(partial, path, ec);
        ok = !ec;
    }
    if (!ok)
        std::filesystem::remove(partial, ec);
    return ok;
}

} // namespace corvath::patchkit
