// Four-part version values, read from text and compared for equality only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace install {

struct VersionQuad {
    std::int32_t major = 0;
    std::int32_t minor = 0;
    std::int16_t build = 0;    // the low 16 bits of the number read
    std::int16_t revision = 0; // the low 16 bits of the number read
};

// Reads "8.2.0.5" (or "8,2,0,5"), and the three-part "1.1.1" Windows Installer writes as 1.1.1.0.
// A text with fewer than four components keeps those it has; the fourth is whatever follows the
// third "."; what cannot be read stays 0. Never fails.
VersionQuad ParseVersion(std::wstring text);

bool VersionsEqual(const VersionQuad& a, const VersionQuad& b);

// True when `a` is `b` or later: the four fields compared in order as unsigned numbers, the
// way Windows Installer orders product versions (a field's 16 bits for the last two).
bool VersionAtLeast(const VersionQuad& a, const VersionQuad& b);

// The decimal reading of the standard wide-string-to-long conversion, with a 32-bit result and
// the same rules on every platform: leading white space, one sign, then decimal digits of any
// script; the first other character ends the number; out-of-range values saturate.
std::int32_t ParseDecimal(std::wstring_view text);

// The value of a decimal digit of any script (0 to 9), or -1 for anything else.
int DecimalDigitValue(wchar_t c);

} // namespace install
