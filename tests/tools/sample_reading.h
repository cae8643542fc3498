// Reading back what the builder wrote: files, compound-file streams and summary properties,
// parsed here independently of the writer.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace corvath::tests {

using Bytes = std::vector<std::uint8_t>;

std::string sample_path(const std::string& file_name);
std::optional<Bytes> read_file(const std::string& path);
std::vector<std::string> target_codes();

// A stream of a compound file, path components from the root ("Storage", "Stream").
std::optional<Bytes> read_stream(const std::string& file, const std::vector<std::string>& path);
// Class id of the root (empty path) or of a storage, as 16 on-disk bytes.
std::optional<Bytes> class_id(const std::string& file, const std::vector<std::string>& path);
std::vector<std::string> child_names(const std::string& file);

struct TypedValue {
    std::uint32_t type = 0; // VT_I2 2, VT_I4 3, VT_LPSTR 30
    std::variant<std::int32_t, std::string> value;
};
// Properties of a summary stream by id; nothing when a count or offset leaves the stream.
std::optional<std::map<std::uint32_t, TypedValue>> parse_property_set(const Bytes& stream);

// UTF-8 of UTF-16 units, through GLib rather than the builder's own converter.
std::string utf8_of(const char16_t* units);

std::vector<std::string> split(const std::string& text, char separator);

// Runs a command line through the shell; exit status and standard output.
struct CommandResult {
    int status = -1;
    std::string output;
};
CommandResult run_command(const std::string& command_line);
// The rows of a table of a sample database or patch as msiinfo exports it, split at tabs.
std::vector<std::vector<std::string>> table_rows(const std::string& file, const std::string& table);
std::string shell_quote(const std::string& text);

} // namespace corvath::tests
