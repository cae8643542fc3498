#include "cabinet.h"

#include <gio/gio.h>
#include <libgcab.h>

namespace corvath::patchkit {
namespace {

// Fixed file date, so two builds of the same inputs give the same bytes.
GDateTime* fixed_date() {
    return g_date_time_new_utc(2026, 12, 8, 12, 0, 0);
}

} // namespace

std::optional<Bytes> build_cabinet(const std::vector<CabinetEntry>& entries, std::string& error) {
    GCabCabinet* cabinet = gcab_cabinet_new();
    GCabFolder* folder = gcab_folder_new(GCAB_COMPRESSION_NONE);
    GError* gerror = nullptr;
    bool ok = true;

    for (const CabinetEntry& entry : entries) {
        GBytes* bytes = g_bytes_new_static(entry.data->data(), entry.data->size());
        GCabFile* file = gcab_file_new_with_bytes(entry.name.c_str(), bytes);
        GDateTime* date = fixed_date();
        gcab_file_set_date_time(file, date);
        g_date_time_unref(date);
        ok = gcab_folder_add_file(folder, file, FALSE, nullptr, &gerror);
        g_object_unref(file);
        g_bytes_unref(bytes);
        if (!ok)
            break;
    }
    ok = ok && gcab_cabinet_add_folder(cabinet, folder, &gerror);

    GOutputStream* sink = g_memory_output_stream_new_resizable();
    ok = ok && gcab_cabinet_write_simple(cabinet, sink, nullptr, nullptr, nullptr, &gerror) &&
         g_output_stream_close(sink, nullptr, &gerror);

    std::optional<Bytes> result;
    if (ok) {
        auto* memory = G_MEMORY_OUTPUT_STREAM(sink);
        const auto* begin =
            static_cast<const std::uint8_t*>(g_memory_output_stream_get_data(memory));
        result.emplace(begin, begin + g_memory_output_stream_get_data_size(memory));
    } else {
        error = std::string("cannot build the cabinet: ") +
                (gerror ? gerror->message : "unknown error");
    }
    if (gerror)
        g_error_free(gerror);
    g_object_unref(sink);
    g_object_unref(folder);
    g_object_unref(cabinet);
    return result;
}

} // namespace corvath::patchkit
