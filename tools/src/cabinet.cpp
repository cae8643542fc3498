#include "cabinet.h"

#include <gio/gio.h>
#include <libgcab.h>

namespace corvath::patchkit {
namespace {

// Fixed file date, so two builds of the same inputs give the same bytes.
GDateTime* fixed_date() {
    return g_date_time_new_utc(2026, 12, 8, 12, 0, 0);
}

bool write_cabinet(const std::vector<CabinetEntry>& entries, GOutputStream* sink,
                   std::string& error) {
    GCabCabinet* cabinet = gcab_cabinet_new();
    GCabFolder* folder = gcab_folder_new(GCAB_COMPRESSION_NONE);
    GError* gerror = nullptr;
    bool ok = true;

    for (const CabinetEntry& entry : entries) {
        GCabFile* file = nullptr;
        if (!entry.path.empty()) {
            GFile* source = g_file_new_for_path(entry.path.c_str());
            file = gcab_file_new_with_file(entry.name.c_str(), source);
            g_object_unref(source);
        } else {
            GBytes* bytes = g_bytes_new_static(entry.data->data(), entry.data->size());
            file = gcab_file_new_with_bytes(entry.name.c_str(), bytes);
            g_bytes_unref(bytes);
        }
        GDateTime* date = fixed_date();
        gcab_file_set_date_time(file, date);
        g_date_time_unref(date);
        ok = gcab_folder_add_file(folder, file, FALSE, nullptr, &gerror);
        // Fixed too: a file read from disk is given that file's attributes as it is added.
        gcab_file_set_attributes(file, 0);
        g_object_unref(file);
        if (!ok)
            break;
    }
    ok = ok && gcab_cabinet_add_folder(cabinet, folder, &gerror) &&
         gcab_cabinet_write_simple(cabinet, sink, nullptr, nullptr, nullptr, &gerror) &&
         g_output_stream_close(sink, nullptr, &gerror);
    if (!ok)
        error = std::string("cannot build the cabinet: ") +
                (gerror ? gerror->message : "unknown error");
    if (gerror)
        g_error_free(gerror);
    g_object_unref(folder);
    g_object_unref(cabinet);
    return ok;
}

} // namespace

std::optional<Bytes> build_cabinet(const std::vector<CabinetEntry>& entries, std::string& error) {
    GOutputStream* sink = g_memory_output_stream_new_resizable();
    std::optional<Bytes> result;
    if (write_cabinet(entries, sink, error)) {
        auto* memory = G_MEMORY_OUTPUT_STREAM(sink);
        const auto* begin =
            static_cast<const std::uint8_t*>(g_memory_output_stream_get_data(memory));
        result.emplace(begin, begin + g_memory_output_stream_get_data_size(memory));
    }
    g_object_unref(sink);
    return result;
}

bool build_cabinet_to(const std::vector<CabinetEntry>& entries, const std::string& path,
                      std::string& error) {
    GFile* target = g_file_new_for_path(path.c_str());
    GError* gerror = nullptr;
    GFileOutputStream* sink =
        g_file_replace(target, nullptr, FALSE, G_FILE_CREATE_NONE, nullptr, &gerror);
    g_object_unref(target);
    if (!sink) {
        error = "cannot write " + path + ": " + (gerror ? gerror->message : "unknown error");
        if (gerror)
            g_error_free(gerror);
        return false;
    }
    const bool ok = write_cabinet(entries, G_OUTPUT_STREAM(sink), error);
    g_object_unref(sink);
    return ok;
}

} // namespace corvath::patchkit
