#include "sample_reading.h"

#include <gsf/gsf.h>

#include <cstdio>
#include <fstream>
#include <sys/wait.h>

namespace corvath::tests {
namespace {

std::uint32_t u32_at(const Bytes& data, std::size_t offset) {
    return data[offset] | data[offset + 1] << 8 | data[offset + 2] << 16 |
           static_cast<std::uint32_t>(data[offset + 3]) << 24;
}

GsfInfile* open_compound(const std::string& file) {
    gsf_init();
    GsfInput* input = gsf_input_stdio_new(file.c_str(), nullptr);
    if (!input)
        return nullptr;
    GsfInfile* storage = gsf_infile_msole_new(input, nullptr);
    g_object_unref(input);
    return storage;
}

// Walks the path; the caller unrefs the result.
GsfInput* open_path(GsfInfile* root, const std::vector<std::string>& path) {
    GsfInput* current = GSF_INPUT(g_object_ref(root));
    for (const std::string& name : path) {
        GsfInput* next = GSF_IS_INFILE(current)
                             ? gsf_infile_child_by_name(GSF_INFILE(current), name.c_str())
                             : nullptr;
        g_object_unref(current);
        if (!next)
            return nullptr;
        current = next;
    }
    return current;
}

} // namespace

std::string sample_path(const std::string& file_name) {
    return std::string(CORVATH_SAMPLE_DIR) + "/" + file_name;
}

std::optional<Bytes> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> target_codes() {
    std::ifstream in(CORVATH_TARGET_CODES);
    std::vector<std::string> codes;
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            codes.push_back(line);
    return codes;
}

std::optional<Bytes> read_stream(const std::string& file, const std::vector<std::string>& path) {
    GsfInfile* root = open_compound(file);
    if (!root)
        return std::nullopt;
    GsfInput* stream = open_path(root, path);
    g_object_unref(root);
    if (!stream)
        return std::nullopt;
    std::optional<Bytes> data;
    const auto size = static_cast<std::size_t>(gsf_input_size(stream));
    if (const guint8* bytes = size ? gsf_input_read(stream, size, nullptr) : nullptr)
        data.emplace(bytes, bytes + size);
    else if (size == 0)
        data.emplace();
    g_object_unref(stream);
    return data;
}

std::optional<Bytes> class_id(const std::string& file, const std::vector<std::string>& path) {
    GsfInfile* root = open_compound(file);
    if (!root)
        return std::nullopt;
    GsfInput* storage = open_path(root, path);
    g_object_unref(root);
    if (!storage)
        return std::nullopt;
    Bytes id(16);
    const bool ok = GSF_IS_INFILE_MSOLE(storage) &&
                    gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(storage), id.data());
    g_object_unref(storage);
    return ok ? std::optional<Bytes>(id) : std::nullopt;
}

std::vector<std::string> child_names(const std::string& file) {
    std::vector<std::string> names;
    GsfInfile* root = open_compound(file);
    if (!root)
        return names;
    for (int i = 0; i < gsf_infile_num_children(root); ++i)
        names.emplace_back(gsf_infile_name_by_index(root, i));
    g_object_unref(root);
    return names;
}

std::optional<std::map<std::uint32_t, TypedValue>> parse_property_set(const Bytes& stream) {
    if (stream.size() < 48 || stream[0] != 0xFE || stream[1] != 0xFF)
        return std::nullopt;
    const std::size_t section = u32_at(stream, 44);
    if (section + 8 > stream.size())
        return std::nullopt;
    const std::size_t section_size = u32_at(stream, section);
    const std::uint32_t count = u32_at(stream, section + 4);
    if (section + section_size > stream.size() || count > (section_size - 8) / 8)
        return std::nullopt;

    std::map<std::uint32_t, TypedValue> properties;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t id = u32_at(stream, section + 8 + i * 8);
        const std::size_t offset = u32_at(stream, section + 12 + i * 8);
        if (offset % 4 != 0 || offset + 8 > section_size)
            return std::nullopt;
        const std::size_t at = section + offset;
        TypedValue value;
        value.type = u32_at(stream, at);
        if (value.type == 2) {
            value.value = static_cast<std::int16_t>(stream[at + 4] | stream[at + 5] << 8);
        } else if (value.type == 3) {
            value.value = static_cast<std::int32_t>(u32_at(stream, at + 4));
        } else if (value.type == 30) {
            const std::size_t length = u32_at(stream, at + 4);
            if (length == 0 || offset + 8 + length > section_size ||
                stream[at + 8 + length - 1] != 0)
                return std::nullopt;
            value.value =
                std::string(stream.begin() + at + 8, stream.begin() + at + 8 + length - 1);
        } else {
            return std::nullopt;
        }
        properties[id] = value;
    }
    return properties;
}

std::string utf8_of(const char16_t* units) {
    gchar* text =
        g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(units), -1, nullptr, nullptr, nullptr);
    std::string result(text ? text : "");
    g_free(text);
    return result;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

CommandResult run_command(const std::string& command_line) {
    CommandResult result;
    std::FILE* pipe = popen(command_line.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string shell_quote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::vector<std::vector<std::string>> table_rows(const std::string& file,
                                                 const std::string& table) {
    const auto result = run_command(shell_quote(CORVATH_MSIINFO) + " export " +
                                    shell_quote(sample_path(file)) + " " + table + " 2>/dev/null");
    std::vector<std::vector<std::string>> rows;
    auto lines = split(result.output, '\n');
    // After the three header lines: names, types, and the table's name with its keys.
    for (std::size_t i = 3; i < lines.size(); ++i) {
        std::string line = lines[i];
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            rows.push_back(split(line, '\t'));
    }
    return rows;
}

} // namespace corvath::tests
