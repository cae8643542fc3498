// Record 206: the patch-list record the service pack embeds and copies out byte for byte.
// ASCII, one "Key=Value" per line, CR LF after every line including the last, no NUL, no BOM.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvath::pack {

struct PatchRecordFields {
    std::string product_code; // first target of the patch
    std::string version;      // the version the patch brings
    std::string title;
    std::string patch_code;
    std::uint64_t package_size = 0;
    std::string description;
};

// The record, or nothing with `error` naming the first field that would break the format.
std::optional<std::string> format_patch_record(const PatchRecordFields& fields, std::string& error);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with upper-case hexadecimal digits.
bool is_braced_upper_guid(std::string_view text);

// Four dot-separated decimal parts of at most 5 digits each, e.g. "8.2.0.5".
bool is_four_part_version(std::string_view text);

// Printable 7-bit ASCII only: no CR, LF or other control characters, nothing above 0x7E.
bool is_single_line_ascii(std::string_view text);

} // namespace corvath::pack
