// The summary information stream (\005SummaryInformation) of a package or transform.
//
// libgsf's metadata writer leaves VT_LPSTR values unpadded, so property offsets stop being
// multiples of 4; this writer keeps the layout the property-set format asks for.
#pragma once

#include "byte_writer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace corvath::patchkit {

struct SummaryProperty {
    std::uint32_t id = 0;
    // int16_t -> VT_I2, int32_t -> VT_I4, string -> VT_LPSTR in code page 1252.
    std::variant<std::int16_t, std::int32_t, std::string> value;
};

// Code page property every summary we write starts with.
inline constexpr std::uint32_t pid_codepage = 1;
inline constexpr std::int16_t codepage_western = 1252;

// Serialises the properties in the given order, preceded by PID 1 (code page 1252).
// Returns nothing when a text is not 7-bit ASCII (it would not survive code page 1252
// unchanged) or when an id repeats.
std::optional<Bytes> write_summary_information(const std::vector<SummaryProperty>& properties);

} // namespace corvath::patchkit
