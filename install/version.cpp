#include "install/version.h"

#include <algorithm>
#include <array>
#include <limits>

namespace install {
namespace {

// First code points of the Unicode blocks of ten decimal digits (general category Nd) in the
// Basic Multilingual Plane; each run holds the digits 0 to 9 in order.
constexpr char16_t kDigitZeros[] = {
    0x0030, 0x0660, 0x06F0, 0x07C0, 0x0966, 0x09E6, 0x0A66, 0x0AE6, 0x0B66, 0x0BE6,
    0x0C66, 0x0CE6, 0x0D66, 0x0DE6, 0x0E50, 0x0ED0, 0x0F20, 0x1040, 0x1090, 0x17E0,
    0x1810, 0x1946, 0x19D0, 0x1A80, 0x1A90, 0x1B50, 0x1BB0, 0x1C40, 0x1C50, 0xA620,
    0xA8D0, 0xA900, 0xA9D0, 0xA9F0, 0xAA50, 0xABF0, 0xFF10,
};

// White space as the C library's iswspace reads it in the "C" locale, plus the Unicode
// spaces a wide-string conversion skips on Windows.
bool IsSpace(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r') || c == 0x0085 || c == 0x00A0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

std::int16_t Low16(std::int32_t value) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(value)));
}

// Cuts `text` at its first '.', returning what came before; false when there is no '.'.
bool TakeComponent(std::wstring& text, std::wstring& component) {
    const std::size_t dot = text.find(L'.');
    if (dot == std::wstring::npos) {
        return false;
    }
    component = text.substr(0, dot);
    text.erase(0, dot + 1);
    return true;
}

} // namespace

int DecimalDigitValue(wchar_t c) {
    for (char16_t zero : kDigitZeros) {
        if (c >= zero && c <= zero + 9) {
            return static_cast<int>(c - zero);
        }
    }
    return -1;
}

std::int32_t ParseDecimal(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    // Accumulated as a magnitude that stops growing once it is past every 32-bit value.
    constexpr std::int64_t kPastRange = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 2;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = DecimalDigitValue(text[i]);
        if (digit < 0) {
            break;
        }
        magnitude = std::min(magnitude * 10 + digit, kPastRange);
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

VersionQuad ParseVersion(std::wstring text) {
    VersionQuad version;
    std::replace(text.begin(), text.end(), L',', L'.');
    // Windows Installer writes ProductVersion as major.minor.build, and most products write three
    // fields: a component counts when a "." follows it or the text ends after it.
    std::wstring component;
    if (!TakeComponent(text, component)) {
        version.major = ParseDecimal(text);
        return version;
    }
    version.major = ParseDecimal(component);
    if (!TakeComponent(text, component)) {
        version.minor = ParseDecimal(text);
        return version;
    }
    version.minor = ParseDecimal(component);
    if (!TakeComponent(text, component)) {
        version.build = Low16(ParseDecimal(text));
        return version;
    }
    version.build = Low16(ParseDecimal(component));
    version.revision = Low16(ParseDecimal(text));
    return version;
}

bool VersionsEqual(const VersionQuad& a, const VersionQuad& b) {
    return a.major == b.major && a.minor == b.minor && a.build == b.build &&
           a.revision == b.revision;
}

bool VersionAtLeast(const VersionQuad& a, const VersionQuad& b) {
    const auto fields = [](const VersionQuad& v) {
        return std::array<std::uint32_t, 4>{
            static_cast<std::uint32_t>(v.major), static_cast<std::uint32_t>(v.minor),
            static_cast<std::uint16_t>(v.build), static_cast<std::uint16_t>(v.revision)};
    };
    return fields(a) >= fields(b);
}

} // namespace install
