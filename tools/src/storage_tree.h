// An in-memory picture of a compound file: storages with class ids, holding streams.
#pragma once

#include "byte_writer.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace corvath::patchkit {

using ClassId = std::array<std::uint8_t, 16>;

// {000C1086-0000-0000-C000-000000000046}, which the installer requires of a patch's root.
inline constexpr ClassId msi_patch_class = {0x86, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                            0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// {000C1082-0000-0000-C000-000000000046}: a transform.
inline constexpr ClassId msi_transform_class = {0x82, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

struct StreamNode {
    std::u16string name; // as stored in the directory entry
    Bytes data;
    std::string source_path = {}; // when set, the stream holds this file's bytes instead of data
};

struct StorageNode {
    std::u16string name; // empty for the root
    ClassId class_id{};
    std::vector<StreamNode> streams;
    std::vector<StorageNode> storages;
};

inline std::u16string ascii_name(std::string_view text) {
    return {text.begin(), text.end()};
}

} // namespace corvath::patchkit
