// Numbers written as PE images and .res files store them: little-endian, at any byte offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvath::pack {

inline void put_u16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void put_u32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    put_u16(bytes, at, value & 0xFFFF);
    put_u16(bytes, at + 2, value >> 16);
}

inline void append_u16(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    bytes.resize(bytes.size() + 2);
    put_u16(bytes, bytes.size() - 2, value);
}

inline void append_u32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    bytes.resize(bytes.size() + 4);
    put_u32(bytes, bytes.size() - 4, value);
}

inline std::uint64_t align_up(std::uint64_t value, std::uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

} // namespace corvath::pack
