// Signing a pack with osslsigncode (Authenticode, SHA-256), where the packer runs on Linux. On
// Windows the release engineer signs afterwards with their own step (signtool, a token, a
// signing service).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace corvath::pack {

struct SigningRequest {
    std::filesystem::path pkcs12;
    std::string timestamp_url;      // empty: no time stamp
    std::optional<long long> time;  // the signing time (SOURCE_DATE_EPOCH), else the clock's
};

// Whether this packer can sign at all: false on Windows.
bool can_sign();

// Signs `image` into `signed_image`. The key's password comes from the environment variable
// CORVATH_SP_SIGN_PASSWORD and reaches osslsigncode through a file only its owner may read,
// removed again whatever happens. A refusal, one line, on failure.
std::optional<std::string> sign_image(const SigningRequest& request,
                                      const std::filesystem::path& image,
                                      const std::filesystem::path& signed_image);

} // namespace corvath::pack
