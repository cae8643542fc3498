#include "compound_file.h"

#include "stream_name.h"

#include <gsf/gsf.h>

#include <cstdio>
#include <filesystem>
#include <limits>
#include <vector>

namespace corvath::patchkit {
namespace {

constexpr guint sector_size = 512;
constexpr guint mini_sector_size = 64;

// gsf_output_write takes a size_t but writes in chunks itself; keep each call bounded.
constexpr std::size_t chunk = 1 << 20;

bool write_file_contents(GsfOutput* child, const std::string& path) {
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in)
        return false;
    std::vector<guint8> buffer(chunk);
    bool ok = true;
    for (std::size_t got; ok && (got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0;)
        ok = gsf_output_write(child, got, buffer.data());
    ok = ok && !std::ferror(in);
    std::fclose(in);
    return ok;
}

bool write_stream(GsfOutfile* parent, const StreamNode& stream) {
    if (stream.name.empty() || stream.name.size() > max_stream_name_units)
        return false;
    GsfOutput* child = gsf_outfile_new_child(parent, utf16_to_utf8(stream.name).c_str(), FALSE);
    if (!child)
        return false;
    bool ok = true;
    if (!stream.source_path.empty()) {
        ok = write_file_contents(child, stream.source_path);
    }
    for (std::size_t offset = 0; ok && offset < stream.data.size(); offset += chunk) {
        const std::size_t length = std::min(chunk, stream.data.size() - offset);
        ok = gsf_output_write(child, length, stream.data.data() + offset);
    }
    ok = gsf_output_close(child) && ok;
    g_object_unref(child);
    return ok;
}

bool write_storage_contents(GsfOutfile* target, const StorageNode& storage) {
    gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(target), storage.class_id.data());
    for (const StreamNode& stream : storage.streams)
        if (!write_stream(target, stream))
            return false;
    for (const StorageNode& child : storage.storages) {
        if (child.name.empty() || child.name.size() > max_stream_name_units)
            return false;
        GsfOutput* sub = gsf_outfile_new_child(target, utf16_to_utf8(child.name).c_str(), TRUE);
        if (!sub)
            return false;
        bool ok = write_storage_contents(GSF_OUTFILE(sub), child);
        ok = gsf_output_close(sub) && ok;
        g_object_unref(sub);
        if (!ok)
            return false;
    }
    return true;
}

bool write_to_sink(GsfOutput* sink, const StorageNode& root, std::string& error) {
    GsfOutfile* file = gsf_outfile_msole_new_full(sink, sector_size, mini_sector_size);
    if (!file) {
        error = "libgsf cannot create a compound file";
        return false;
    }
    bool ok = write_storage_contents(file, root);
    ok = gsf_output_close(GSF_OUTPUT(file)) && ok;
    g_object_unref(file);
    ok = ok && (gsf_output_is_closed(sink) || gsf_output_close(sink));
    if (!ok)
        error = "libgsf failed to write the compound file (a name too long or a write error)";
    return ok;
}

} // namespace

std::optional<Bytes> write_compound_file(const StorageNode& root, std::string& error) {
    gsf_init();
    GsfOutput* sink = gsf_output_memory_new();
    std::optional<Bytes> result;
    if (write_to_sink(sink, root, error)) {
        const guint8* begin = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink));
        result.emplace(begin, begin + gsf_output_size(sink));
    }
    g_object_unref(sink);
    return result;
}

std::optional<std::uint64_t> write_compound_file_to(const StorageNode& root,
                                                    const std::string& path, std::string& error) {
    gsf_init();
    const std::string part = path + ".part";
    GsfOutput* sink = gsf_output_stdio_new(part.c_str(), nullptr);
    if (!sink) {
        error = "cannot write " + part;
        return std::nullopt;
    }
    const bool ok = write_to_sink(sink, root, error);
    g_object_unref(sink);
    std::error_code failed;
    if (ok)
        std::filesystem::rename(part, path, failed);
    if (!ok || failed) {
        std::filesystem::remove(part, failed);
        if (ok)
            error = "cannot rename " + part;
        return std::nullopt;
    }
    return std::filesystem::file_size(path, failed);
}

} // namespace corvath::patchkit
