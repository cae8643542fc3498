#include "sha256.h"

#include <windows.h>

#include <bcrypt.h>

namespace corvath::pack {

namespace {

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

} // namespace

bool sha256_begin(Sha256& hash) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE state = nullptr;
    if (!Succeeded(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        return false;
    }
    // The object's memory is BCrypt's own (allowed since Windows 7).
    if (!Succeeded(BCryptCreateHash(algorithm, &state, nullptr, 0, nullptr, 0, 0))) {
        BCryptCloseAlgorithmProvider(algorithm, 0);
        return false;
    }
    hash.state = state;
    hash.extra = algorithm;
    return true;
}

bool sha256_add(Sha256& hash, const std::uint8_t* bytes, std::size_t size) {
    // BCryptHashData takes 32-bit lengths.
    while (hash.state != nullptr && size > 0) {
        const ULONG part = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        if (!Succeeded(BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(hash.state),
                                      const_cast<PUCHAR>(bytes), part, 0))) {
            return false;
        }
        bytes += part;
        size -= part;
    }
    return hash.state != nullptr;
}

std::string sha256_end(Sha256& hash) {
    UCHAR digest[32];
    const bool ok = hash.state != nullptr &&
                    Succeeded(BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(hash.state), digest,
                                               sizeof digest, 0));
    if (hash.state != nullptr) {
        BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(hash.state));
    }
    if (hash.extra != nullptr) {
        BCryptCloseAlgorithmProvider(static_cast<BCRYPT_ALG_HANDLE>(hash.extra), 0);
    }
    hash.state = nullptr;
    hash.extra = nullptr;
    if (!ok) {
        return {};
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (UCHAR byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}

} // namespace corvath::pack
