#include "patch_summary_reader.h"

#include <gsf/gsf.h>

namespace corvath::patchkit {
namespace {

// libgsf names the summary properties after their document meanings: property 7 (template)
// is "meta:template", property 9 (revision number) "meta:editing-cycles".
std::optional<std::string> text_property(GsfDocMetaData* meta, const char* name) {
    GsfDocProp* prop = gsf_doc_meta_data_lookup(meta, name);
    if (!prop)
        return std::nullopt;
    const GValue* value = gsf_doc_prop_get_val(prop);
    if (!value || !G_VALUE_HOLDS_STRING(value))
        return std::nullopt;
    const char* text = g_value_get_string(value);
    return std::string(text ? text : "");
}

} // namespace

std::string first_list_entry(const std::string& list) {
    return list.substr(0, list.find(';'));
}

std::optional<PatchSummary> read_patch_summary(const std::string& path, std::string& error) {
    gsf_init();
    GError* gerror = nullptr;
    GsfInput* input = gsf_input_stdio_new(path.c_str(), &gerror);
    if (!input) {
        error = "cannot open " + path + ": " + (gerror ? gerror->message : "unknown error");
        if (gerror)
            g_error_free(gerror);
        return std::nullopt;
    }
    GsfInfile* storage = gsf_infile_msole_new(input, &gerror);
    g_object_unref(input);
    if (!storage) {
        error = path + " is not an OLE compound file" +
                (gerror ? std::string(": ") + gerror->message : std::string());
        if (gerror)
            g_error_free(gerror);
        return std::nullopt;
    }

    std::optional<PatchSummary> result;
    GsfInput* stream = gsf_infile_child_by_name(storage, "\005SummaryInformation");
    if (!stream) {
        error = path + " has no summary information stream";
    } else {
        GsfDocMetaData* meta = gsf_doc_meta_data_new();
        GError* read_error = gsf_doc_meta_data_read_from_msole(meta, stream);
        if (read_error) {
            error = path + ": unreadable summary information: " + read_error->message;
            g_error_free(read_error);
        } else {
            result = PatchSummary{text_property(meta, "meta:template"),
                                  text_property(meta, "meta:editing-cycles")};
        }
        g_object_unref(meta);
        g_object_unref(stream);
    }
    g_object_unref(storage);
    return result;
}

} // namespace corvath::patchkit
