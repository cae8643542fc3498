// Conversions between UTF-8 (files, the command line, what the packer prints) and UTF-16 (what
// resources hold).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvath::pack {

// Nothing when `text` is not UTF-8: a bad or truncated sequence, an overlong form, a surrogate
// or a code point past U+10FFFF.
std::optional<std::u16string> utf16_from_utf8(std::string_view text);

// A unit of an unpaired surrogate becomes U+FFFD.
std::string utf8_from_utf16(std::u16string_view text);

} // namespace corvath::pack
