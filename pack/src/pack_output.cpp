#include "pack_output.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace corvath::pack {
namespace {

std::uint64_t fold(std::uint64_t sum) {
    while (sum > 0xFFFF) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum;
}

} // namespace

void checksum_add(PeChecksum& checksum, const std::uint8_t* bytes, std::size_t size) {
    std::size_t i = 0;
    if (checksum.pending >= 0 && size > 0) {
        checksum.sum += static_cast<std::uint64_t>(checksum.pending) | std::uint64_t{bytes[0]} << 8;
        checksum.pending = -1;
        i = 1;
    }
    std::uint64_t sum = checksum.sum;
    // The words read straight from memory, which compilers vectorize: the host is little-endian
    // like the image. Summed byte by byte, the checksum cost a third of the patch's SHA-256.
    static_assert(std::endian::native == std::endian::little);
    const std::size_t words = (size - i) / 2;
    for (std::size_t n = 0; n < words; ++n) {
        std::uint16_t word;
        std::memcpy(&word, bytes + i + 2 * n, 2);
        sum += word;
    }
    i += 2 * words;
    for (; i + 1 < size; i += 2) {
        sum += bytes[i] | static_cast<std::uint32_t>(bytes[i + 1]) << 8;
    }
    if (i < size) {
        checksum.pending = bytes[i];
    }
    // Folded once a block so the sum never nears overflow, whatever the file's size.
    checksum.sum = fold(sum);
    checksum.length += size;
}

std::uint32_t checksum_value(const PeChecksum& checksum) {
    std::uint64_t sum = checksum.sum;
    if (checksum.pending >= 0) {
        sum += static_cast<std::uint64_t>(checksum.pending);
    }
    return static_cast<std::uint32_t>(fold(sum) + checksum.length);
}

bool write_out(PackOutput& out, const std::uint8_t* bytes, std::size_t size) {
    if (size == 0) {
        return true;
    }
    if (std::fwrite(bytes, 1, size, out.file) != size) {
        return false;
    }
    checksum_add(out.checksum, bytes, size);
    out.written += size;
    return true;
}

bool write_zeros_to(PackOutput& out, std::uint64_t offset) {
    if (out.written > offset) {
        return false;
    }
    static constexpr std::array<std::uint8_t, 4096> zeros{};
    while (out.written < offset) {
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(zeros.size(), offset - out.written));
        if (!write_out(out, zeros.data(), count)) {
            return false;
        }
    }
    return true;
}

} // namespace corvath::pack
