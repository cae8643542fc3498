// Texts of a database's string pool as UTF-8. The pool stores bytes in the code page entry 0 of
// _StringPool names; ASCII reads the same in all of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvath::msp {

inline constexpr std::uint32_t kCodePageUtf8 = 65001;
inline constexpr std::uint32_t kCodePageWestern = 1252;

// The text as UTF-8: ASCII as it is, UTF-8 (65001) when valid, Western (1252) converted.
// Nothing for other bytes: the code page is another, or none (0), and the text cannot be told.
std::optional<std::string> utf8_from_code_page(std::string_view bytes, std::uint32_t code_page);

// The length of the well-formed UTF-8 sequence at `at` (1 to 4), or 0 for a byte that starts
// none: an overlong form, a surrogate, past U+10FFFF, or cut short.
std::size_t utf8_sequence_length(std::string_view bytes, std::size_t at);

} // namespace corvath::msp
