// Numbers as the package's formats store them: little-endian, at any byte offset.
#pragma once

#include <cstdint>
#include <vector>

namespace corvath::msp {

using Bytes = std::vector<std::uint8_t>;

inline std::uint16_t u16_at(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

inline std::uint32_t u32_at(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(u16_at(bytes)) | static_cast<std::uint32_t>(u16_at(bytes + 2))
                                                           << 16;
}

} // namespace corvath::msp
