#include "msp/code_page_text.h"

namespace corvath::msp {
namespace {

// 1252's bytes 0x80 to 0x9F; 0 where the code page defines no character.
constexpr char16_t kWestern80[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void append_utf8(std::string& out, char16_t unit) {
    if (unit < 0x80) {
        out += static_cast<char>(unit);
    } else if (unit < 0x800) {
        out += static_cast<char>(0xC0 | unit >> 6);
        out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | unit >> 12);
        out += static_cast<char>(0x80 | (unit >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (unit & 0x3F));
    }
}

bool is_ascii(std::string_view bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

} // namespace

std::size_t utf8_sequence_length(std::string_view bytes, std::size_t at) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    const std::size_t extra = lead < 0x80                    ? 0
                              : lead >= 0xC2 && lead <= 0xDF ? 1
                              : lead >= 0xE0 && lead <= 0xEF ? 2
                              : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                             : 4;
    if (extra == 4 || at + extra >= bytes.size())
        return 0;
    std::uint32_t point = extra == 0 ? lead : lead & (0x3F >> extra);
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto next = static_cast<unsigned char>(bytes[at + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        point = point << 6 | (next & 0x3F);
    }
    constexpr std::uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (point < kLeast[extra] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return 0;
    return extra + 1;
}

std::optional<std::string> utf8_from_code_page(std::string_view bytes, std::uint32_t code_page) {
    if (is_ascii(bytes))
        return std::string(bytes);
    if (code_page == kCodePageUtf8) {
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t length = utf8_sequence_length(bytes, at);
            if (length == 0)
                return std::nullopt;
            at += length;
        }
        return std::string(bytes);
    }
    if (code_page != kCodePageWestern)
        return std::nullopt;
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        const char16_t unit = byte >= 0x80 && byte < 0xA0 ? kWestern80[byte - 0x80] : byte;
        if (unit == 0)
            return std::nullopt;
        append_utf8(out, unit);
    }
    return out;
}

} // namespace corvath::msp
