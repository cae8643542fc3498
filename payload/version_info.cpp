#include "payload/version_info.h"

#include "payload/resource_store.h"

#include <cstdint>
#include <string_view>

namespace payload {
namespace {

constexpr std::uint16_t kResourceTypeVersion = 16; // RT_VERSION
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr std::size_t kFixedInfoSize = 52;

std::uint16_t U16(const std::byte* at) {
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(at[0]) |
                                      (std::to_integer<unsigned>(at[1]) << 8));
}

std::uint32_t U32(const std::byte* at) {
    return U16(at) | (static_cast<std::uint32_t>(U16(at + 2)) << 16);
}

std::size_t AlignTo4(std::size_t offset) {
    return (offset + 3) & ~static_cast<std::size_t>(3);
}

// One node of the resource's tree: wLength, wValueLength, wType, a NUL-terminated UTF-16 key,
// padding, the value, padding, then the children up to wLength.
struct Node {
    std::wstring key;
    std::size_t valueAt = 0;
    std::size_t valueBytes = 0;
    bool isText = false;
    std::size_t childrenAt = 0;
    std::size_t end = 0;
};

bool ReadNode(const std::byte* bytes, std::size_t at, std::size_t limit, Node& node) {
    if (at > limit || limit - at < 6) {
        return false;
    }
    const std::size_t length = U16(bytes + at);
    if (length < 6 || length > limit - at) {
        return false;
    }
    node.end = at + length;
    node.isText = U16(bytes + at + 4) == 1;
    node.valueBytes = U16(bytes + at + 2) * (node.isText ? 2u : 1u);
    node.key.clear();
    std::size_t cursor = at + 6;
    for (;;) {
        if (node.end - cursor < 2) {
            return false;
        }
        const wchar_t c = static_cast<wchar_t>(U16(bytes + cursor));
        cursor += 2;
        if (c == L'\0') {
            break;
        }
        node.key.push_back(c);
    }
    node.valueAt = AlignTo4(cursor);
    if (node.valueAt > node.end || node.valueBytes > node.end - node.valueAt) {
        return false;
    }
    node.childrenAt = AlignTo4(node.valueAt + node.valueBytes);
    return true;
}

std::wstring TextValue(const std::byte* bytes, const Node& node) {
    std::wstring text;
    for (std::size_t i = 0; i + 1 < node.valueBytes; i += 2) {
        const wchar_t c = static_cast<wchar_t>(U16(bytes + node.valueAt + i));
        if (c == L'\0') {
            break;
        }
        text.push_back(c);
    }
    return text;
}

} // namespace

bool ParseVersionResource(const std::byte* bytes, std::size_t size, OwnVersion& version) {
    Node root;
    if (!ReadNode(bytes, 0, size, root) || root.key != L"VS_VERSION_INFO" ||
        root.valueBytes < kFixedInfoSize || U32(bytes + root.valueAt) != kFixedInfoSignature) {
        return false;
    }
    const std::uint32_t high = U32(bytes + root.valueAt + 8);
    const std::uint32_t low = U32(bytes + root.valueAt + 12);
    version.fileVersion = std::to_wstring(high >> 16) + L"." + std::to_wstring(high & 0xFFFF) +
                          L"." + std::to_wstring(low >> 16) + L"." + std::to_wstring(low & 0xFFFF);
    // StringFileInfo → one table per language → key/value strings.
    for (std::size_t at = root.childrenAt; at < root.end;) {
        Node info;
        if (!ReadNode(bytes, at, root.end, info)) {
            return false;
        }
        for (std::size_t tableAt = info.childrenAt;
             info.key == L"StringFileInfo" && tableAt < info.end;) {
            Node table;
            if (!ReadNode(bytes, tableAt, info.end, table)) {
                return false;
            }
            for (std::size_t stringAt = table.childrenAt; stringAt < table.end;) {
                Node entry;
                if (!ReadNode(bytes, stringAt, table.end, entry)) {
                    return false;
                }
                if (entry.key == L"Build Date") {
                    version.buildDate = TextValue(bytes, entry);
                } else if (entry.key == L"FileDescription") {
                    version.description = TextValue(bytes, entry);
                }
                stringAt = AlignTo4(entry.end);
            }
            tableAt = AlignTo4(table.end);
        }
        at = AlignTo4(info.end);
    }
    return true;
}

bool ReadOwnVersion(OwnVersion& version) {
    const platform::ResourceRef found = platform::FindResourceInLanguage(
        platform::ResourceNameFromId(kResourceTypeVersion), platform::ResourceNameFromId(1), 0);
    const std::byte* bytes = ResourceBytes(found);
    return bytes != nullptr && ParseVersionResource(bytes, ResourceSize(found), version);
}

} // namespace payload
