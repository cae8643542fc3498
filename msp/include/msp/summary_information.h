// The summary information property set ("\005SummaryInformation"): its text properties, as
// Windows Installer writes them (VT_LPSTR, a byte count with the terminator, then the bytes).
#pragma once

#include "msp/little_endian.h"
#include "msp/parsed.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvath::msp {

inline constexpr std::u16string_view kSummaryInformationName = u"\x0005SummaryInformation";

inline constexpr std::uint32_t kPropertyTemplate = 7;   // a patch's target product codes
inline constexpr std::uint32_t kPropertyTransforms = 8; // a patch's transforms, ":A;:#A"
inline constexpr std::uint32_t kPropertyRevisionNumber =
    9; // its patch code, then those it obsoletes
// A transform's validation flags (upper 16 bits) and error conditions (lower 16 bits).
inline constexpr std::uint32_t kPropertyCharacterCount = 16;

// The text of a property of the set's first section, up to its terminator; nothing when the
// section has no such property.
Parsed<std::optional<std::string>> read_text_property(const Bytes& stream,
                                                      std::uint32_t property_id);

// A number property (VT_I4, or VT_I2 widened) of the first section; nothing when absent.
Parsed<std::optional<std::int32_t>> read_integer_property(const Bytes& stream,
                                                          std::uint32_t property_id);

} // namespace corvath::msp
