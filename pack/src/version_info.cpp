#include "version_info.h"

namespace corvath::pack {
namespace {

constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr std::size_t kFixedInfoSize = 52;
constexpr std::size_t kFileVersionAt = 8; // dwFileVersionMS, then LS, then the product's
constexpr int kMaxDepth = 8;              // the format has four levels; deeper is damage

std::uint16_t u16_at(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::size_t aligned(std::size_t offset) {
    return (offset + 3) & ~static_cast<std::size_t>(3);
}

// The node at `at`, ending before `limit`.
std::optional<VersionNode> read_node(const std::vector<std::uint8_t>& bytes, std::size_t at,
                                     std::size_t limit, int depth) {
    if (depth > kMaxDepth || at > limit || limit - at < 6) {
        return std::nullopt;
    }
    const std::size_t length = u16_at(bytes, at);
    const std::size_t value_length = u16_at(bytes, at + 2);
    const std::uint16_t type = u16_at(bytes, at + 4);
    if (length < 6 || length > limit - at || type > 1) {
        return std::nullopt;
    }
    const std::size_t end = at + length;
    VersionNode node;
    node.text = type == 1;
    std::size_t cursor = at + 6;
    for (;;) {
        if (end - cursor < 2) {
            return std::nullopt;
        }
        const char16_t unit = static_cast<char16_t>(u16_at(bytes, cursor));
        cursor += 2;
        if (unit == u'\0') {
            break;
        }
        node.key.push_back(unit);
    }
    const std::size_t value_bytes = node.text ? 2 * value_length : value_length;
    cursor = std::min(aligned(cursor), end);
    if (value_bytes > end - cursor) {
        return std::nullopt;
    }
    node.value.assign(bytes.begin() + static_cast<std::ptrdiff_t>(cursor),
                      bytes.begin() + static_cast<std::ptrdiff_t>(cursor + value_bytes));
    cursor = std::min(aligned(cursor + value_bytes), end);
    while (cursor < end) {
        auto child = read_node(bytes, cursor, end, depth + 1);
        if (!child) {
            return std::nullopt;
        }
        cursor = std::min(aligned(cursor + u16_at(bytes, cursor)), end);
        node.children.push_back(std::move(*child));
    }
    return node;
}

void put_u16(std::vector<std::uint8_t>& bytes, std::size_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void pad(std::vector<std::uint8_t>& bytes) {
    bytes.resize(aligned(bytes.size()), 0);
}

// Appends the node; its length counts no padding after its last byte, as the compilers write it.
// False when a length does not fit its 16 bits.
bool write_node(const VersionNode& node, std::vector<std::uint8_t>& bytes) {
    const std::size_t start = bytes.size();
    put_u16(bytes, 0);
    put_u16(bytes, node.text ? node.value.size() / 2 : node.value.size());
    put_u16(bytes, node.text ? 1 : 0);
    for (const char16_t unit : node.key) {
        put_u16(bytes, unit);
    }
    put_u16(bytes, 0);
    if (!node.value.empty() || !node.children.empty()) {
        pad(bytes);
    }
    bytes.insert(bytes.end(), node.value.begin(), node.value.end());
    for (const VersionNode& child : node.children) {
        pad(bytes);
        if (!write_node(child, bytes)) {
            return false;
        }
    }
    const std::size_t length = bytes.size() - start;
    if (length > 0xFFFF || node.value.size() > 0xFFFF) {
        return false;
    }
    bytes[start] = static_cast<std::uint8_t>(length & 0xFF);
    bytes[start + 1] = static_cast<std::uint8_t>((length >> 8) & 0xFF);
    return true;
}

std::u16string text_of(const VersionNode& node) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < node.value.size(); i += 2) {
        const auto unit = static_cast<char16_t>(node.value[i] | (node.value[i + 1] << 8));
        if (unit == u'\0') {
            break;
        }
        text.push_back(unit);
    }
    return text;
}

void set_text(VersionNode& node, std::u16string_view text) {
    node.text = true;
    node.value.clear();
    for (const char16_t unit : text) {
        put_u16(node.value, unit);
    }
    put_u16(node.value, 0);
}

void put_version(std::vector<std::uint8_t>& value, std::size_t at, const std::uint16_t fields[4]) {
    // MS holds the first two fields (the first in its high word), LS the last two.
    const std::uint16_t words[4] = {fields[1], fields[0], fields[3], fields[2]};
    for (std::size_t i = 0; i < 4; ++i) {
        value[at + 2 * i] = static_cast<std::uint8_t>(words[i] & 0xFF);
        value[at + 2 * i + 1] = static_cast<std::uint8_t>(words[i] >> 8);
    }
}

template <typename Visit> void for_each_string_table(VersionNode& root, Visit visit) {
    for (VersionNode& info : root.children) {
        if (info.key != u"StringFileInfo") {
            continue;
        }
        for (VersionNode& table : info.children) {
            visit(table);
        }
    }
}

} // namespace

std::optional<VersionNode> read_version_info(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < 6) {
        return std::nullopt;
    }
    const std::size_t length = u16_at(bytes, 0);
    // The resource may be padded after the root; anything else after it is damage.
    if (length > bytes.size() || bytes.size() - length > 3) {
        return std::nullopt;
    }
    auto root = read_node(bytes, 0, length, 0);
    if (!root || root->key != u"VS_VERSION_INFO") {
        return std::nullopt;
    }
    return root;
}

std::vector<std::uint8_t> write_version_info(const VersionNode& root) {
    std::vector<std::uint8_t> bytes;
    if (!write_node(root, bytes)) {
        bytes.clear();
    }
    return bytes;
}

bool set_fixed_versions(VersionNode& root, const std::uint16_t file[4],
                        const std::uint16_t product[4]) {
    if (root.value.size() != kFixedInfoSize ||
        (root.value[0] | (root.value[1] << 8) | (root.value[2] << 16) |
         (static_cast<std::uint32_t>(root.value[3]) << 24)) != kFixedInfoSignature) {
        return false;
    }
    if (file != nullptr) {
        put_version(root.value, kFileVersionAt, file);
    }
    if (product != nullptr) {
        put_version(root.value, kFileVersionAt + 8, product);
    }
    return true;
}

bool set_version_string(VersionNode& root, std::u16string_view key, std::u16string_view value,
                        bool add) {
    bool found = false;
    for_each_string_table(root, [&](VersionNode& table) {
        for (VersionNode& entry : table.children) {
            if (entry.key == key) {
                set_text(entry, value);
                found = true;
            }
        }
    });
    if (found || !add) {
        return found;
    }
    for_each_string_table(root, [&](VersionNode& table) {
        VersionNode entry;
        entry.key = std::u16string(key);
        set_text(entry, value);
        table.children.push_back(std::move(entry));
        found = true;
    });
    return found;
}

std::optional<std::u16string> version_string(const VersionNode& root, std::u16string_view key) {
    for (const VersionNode& info : root.children) {
        if (info.key != u"StringFileInfo") {
            continue;
        }
        for (const VersionNode& table : info.children) {
            for (const VersionNode& entry : table.children) {
                if (entry.key == key) {
                    return text_of(entry);
                }
            }
        }
    }
    return std::nullopt;
}

} // namespace corvath::pack
