// Version resources (VS_VERSIONINFO): a tree of nodes, each a length, a value length, a type, a
// key and a value, children 32-bit aligned. Read from the base, changed, written back in the
// layout windres and rc.exe use.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvath::pack {

struct VersionNode {
    std::u16string key;
    bool text = false;               // wType 1: the value is UTF-16 text
    std::vector<std::uint8_t> value; // binary, or the text's units with its terminator
    std::vector<VersionNode> children;
};

std::optional<VersionNode> read_version_info(const std::vector<std::uint8_t>& bytes);
// Empty when a node would pass the 65535 bytes its length field can tell.
std::vector<std::uint8_t> write_version_info(const VersionNode& root);

// The fixed part's file and product versions (VS_FIXEDFILEINFO), as four 16-bit fields each;
// nullptr keeps that version. False when the root holds no VS_FIXEDFILEINFO.
bool set_fixed_versions(VersionNode& root, const std::uint16_t file[4],
                        const std::uint16_t product[4]);
// A string value of every StringTable in the resource; false when no StringTable has the key
// and `add` is false.
bool set_version_string(VersionNode& root, std::u16string_view key, std::u16string_view value,
                        bool add = false);
std::optional<std::u16string> version_string(const VersionNode& root, std::u16string_view key);

} // namespace corvath::pack
