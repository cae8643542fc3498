#include "patch_record.h"

namespace corvath::pack {
namespace {

bool is_upper_hex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

} // namespace

bool is_braced_upper_guid(std::string_view text) {
    if (text.size() != 38 || text.front() != '{' || text.back() != '}')
        return false;
    for (std::size_t i = 1; i < 37; ++i) {
        const bool dash_position = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash_position ? text[i] != '-' : !is_upper_hex(text[i]))
            return false;
    }
    return true;
}

bool is_four_part_version(std::string_view text) {
    int parts = 0;
    std::size_t digits = 0;
    for (const char c : text) {
        if (c == '.') {
            if (digits == 0)
                return false;
            ++parts;
            digits = 0;
        } else if (c >= '0' && c <= '9') {
            if (++digits > 5)
                return false;
        } else {
            return false;
        }
    }
    return parts == 3 && digits > 0;
}

bool is_single_line_ascii(std::string_view text) {
    for (const char c : text)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

std::optional<std::string> format_patch_record(const PatchRecordFields& fields,
                                               std::string& error) {
    if (!is_braced_upper_guid(fields.product_code)) {
        error = "product code \"" + fields.product_code + "\" is not an upper-case braced GUID";
        return std::nullopt;
    }
    if (!is_four_part_version(fields.version)) {
        error = "version \"" + fields.version + "\" is not of the form a.b.c.d";
        return std::nullopt;
    }
    if (fields.title.empty() || !is_single_line_ascii(fields.title)) {
        error = "the title must be one non-empty line of printable ASCII";
        return std::nullopt;
    }
    if (!is_braced_upper_guid(fields.patch_code)) {
        error = "patch code \"" + fields.patch_code + "\" is not an upper-case braced GUID";
        return std::nullopt;
    }
    if (fields.package_size == 0) {
        error = "the package size is 0";
        return std::nullopt;
    }
    if (fields.description.empty() || !is_single_line_ascii(fields.description)) {
        error = "the description must be one non-empty line of printable ASCII";
        return std::nullopt;
    }

    const std::pair<std::string_view, std::string> lines[] = {
        {"ProductCode", fields.product_code},
        {"ProductVersionCandidate", fields.version},
        {"PatchTitle", fields.title},
        {"PatchGUID", fields.patch_code},
        {"PatchSize", std::to_string(fields.package_size)},
        {"PatchDesc", fields.description},
    };
    std::string record;
    for (const auto& [key, value] : lines) {
        record += key;
        record += '=';
        record += value;
        record += "\r\n";
    }
    return record;
}

} // namespace corvath::pack
