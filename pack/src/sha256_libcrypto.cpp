#include "sha256.h"

#include <openssl/evp.h>

namespace corvath::pack {

bool sha256_begin(Sha256& hash) {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    if (context == nullptr || EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1) {
        EVP_MD_CTX_free(context);
        return false;
    }
    hash.state = context;
    return true;
}

bool sha256_add(Sha256& hash, const std::uint8_t* bytes, std::size_t size) {
    return hash.state != nullptr &&
           EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(hash.state), bytes, size) == 1;
}

std::string sha256_end(Sha256& hash) {
    auto* context = static_cast<EVP_MD_CTX*>(hash.state);
    hash.state = nullptr;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const bool ok = context != nullptr && EVP_DigestFinal_ex(context, digest, &length) == 1 &&
                    length == 32;
    EVP_MD_CTX_free(context);
    if (!ok) {
        return {};
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

} // namespace corvath::pack
