// SHA-256 from the platform's library: libcrypto on Linux, BCrypt on Windows. The state is the
// library's own; one digest at a time per state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvath::pack {

struct Sha256 {
    void* state = nullptr; // the library's context
    void* extra = nullptr; // BCrypt's algorithm handle; unused with libcrypto
};

bool sha256_begin(Sha256& hash);
bool sha256_add(Sha256& hash, const std::uint8_t* bytes, std::size_t size);
// The digest as 64 lower-case hex digits, or empty on failure; frees the state either way.
std::string sha256_end(Sha256& hash);

} // namespace corvath::pack
