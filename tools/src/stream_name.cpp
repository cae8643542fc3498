#include "stream_name.h"

namespace corvath::patchkit {
namespace {

constexpr char16_t table_marker = 0x4840;

// Index 0..63 of a character that can be packed, or -1.
int packable_index(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 36;
    if (c == '.')
        return 62;
    if (c == '_')
        return 63;
    return -1;
}

} // namespace

std::u16string encode_stream_name(std::string_view name, StreamKind kind) {
    std::u16string out;
    if (kind == StreamKind::Table)
        out.push_back(table_marker);
    for (std::size_t i = 0; i < name.size(); ++i) {
        const int first = packable_index(name[i]);
        if (first < 0) {
            out.push_back(static_cast<unsigned char>(name[i]));
            continue;
        }
        const int second = i + 1 < name.size() ? packable_index(name[i + 1]) : -1;
        if (second < 0) {
            out.push_back(static_cast<char16_t>(0x4800 + first));
            continue;
        }
        out.push_back(static_cast<char16_t>(0x3800 + first + (second << 6)));
        ++i;
    }
    return out;
}

std::string utf16_to_utf8(std::u16string_view text) {
    // Encoded names stay in the BMP and never contain surrogates.
    std::string out;
    for (const char16_t unit : text) {
        if (unit < 0x80) {
            out.push_back(static_cast<char>(unit));
        } else if (unit < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (unit >> 6)));
            out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (unit >> 12)));
            out.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
        }
    }
    return out;
}

} // namespace corvath::patchkit
