// Little-endian appends to a byte buffer; every on-disk format here is little-endian.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace corvath::patchkit {

using Bytes = std::vector<std::uint8_t>;

inline void put_u16(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void put_u32(Bytes& out, std::uint32_t value) {
    put_u16(out, static_cast<std::uint16_t>(value));
    put_u16(out, static_cast<std::uint16_t>(value >> 16));
}

inline void put_text(Bytes& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

inline void put_u32_at(Bytes& out, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

} // namespace corvath::patchkit
