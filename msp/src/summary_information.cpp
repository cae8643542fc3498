#include "msp/summary_information.h"

#include <algorithm>

namespace corvath::msp {
namespace {

// The property set's header, then its first section: a size, a count, and a (property id,
// offset from the section's start) pair for each property. Little-endian.
constexpr std::size_t kPropertySetByteOrder = 0; // kByteOrderMark
constexpr std::size_t kPropertySetFmtId0 = 28;   // 16 bytes: FMTID_SummaryInformation
constexpr std::size_t kPropertySetOffset0 = 44;  // the first section
constexpr std::size_t kSectionNumProperties = 4;
constexpr std::size_t kSectionPropertyPairs = 8;
constexpr std::size_t kPropertyPairSize = 8;
constexpr std::size_t kPropertyPairOffset = 4;
constexpr std::size_t kTypedPropertyType = 0;
constexpr std::size_t kLpstrSize = 4; // bytes, terminator included
constexpr std::size_t kLpstrCharacters = 8;
constexpr std::size_t kIntegerValue = 4; // VT_I2 and VT_I4 alike: padded to 4 bytes

constexpr std::uint16_t kByteOrderMark = 0xFFFE;
constexpr std::uint32_t kVtI2 = 2;
constexpr std::uint32_t kVtI4 = 3;
constexpr std::uint32_t kVtLpstr = 30;
// FMTID_SummaryInformation {F29F85E0-4FF9-1068-AB91-08002B27B3D9} in its on-disk byte order.
constexpr std::uint8_t kFmtIdSummaryInformation[16] = {
    0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10, 0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};

constexpr const char* kSummaryCutShort = "its summary information is cut short";

using Text = std::optional<std::string>;

// The 32-bit number at `at`, when the stream holds it.
std::optional<std::uint32_t> u32_in(const Bytes& stream, std::uint64_t at) {
    if (at + 4 > stream.size())
        return std::nullopt;
    return u32_at(stream.data() + at);
}

} // namespace

namespace {

// Where the property's typed value starts in the stream: nothing when the first section has no
// such property.
Parsed<std::optional<std::uint64_t>> find_property(const Bytes& stream, std::uint32_t property_id) {
    using Found = std::optional<std::uint64_t>;
    if (stream.size() < kPropertySetFmtId0 + sizeof kFmtIdSummaryInformation ||
        u16_at(stream.data() + kPropertySetByteOrder) != kByteOrderMark ||
        !std::equal(std::begin(kFmtIdSummaryInformation), std::end(kFmtIdSummaryInformation),
                    stream.begin() + kPropertySetFmtId0))
        return failed<Found>("its summary information is not a summary property set");
    const auto section = u32_in(stream, kPropertySetOffset0);
    if (!section)
        return failed<Found>(kSummaryCutShort);
    const auto count = u32_in(stream, std::uint64_t{*section} + kSectionNumProperties);
    if (!count || *count > (stream.size() - *section - kSectionPropertyPairs) / kPropertyPairSize)
        return failed<Found>(kSummaryCutShort);
    for (std::uint32_t i = 0; i < *count; ++i) {
        const std::uint64_t pair =
            std::uint64_t{*section} + kSectionPropertyPairs + std::uint64_t{i} * kPropertyPairSize;
        if (u32_at(stream.data() + pair) == property_id)
            return {std::uint64_t{*section} + u32_at(stream.data() + pair + kPropertyPairOffset),
                    {}};
    }
    return {};
}

} // namespace

Parsed<Text> read_text_property(const Bytes& stream, std::uint32_t property_id) {
    const auto found = find_property(stream, property_id);
    if (!found.ok())
        return failed<Text>(found.failure);
    if (!found.value)
        return {};
    const std::uint64_t value = *found.value;
    const std::string property = "summary property " + std::to_string(property_id);
    const auto type = u32_in(stream, value + kTypedPropertyType);
    const auto length = u32_in(stream, value + kLpstrSize);
    if (!type || !length)
        return failed<Text>(kSummaryCutShort);
    if (*type != kVtLpstr)
        return failed<Text>(property + " is not text (type " + std::to_string(*type) + ")");
    if (value + kLpstrCharacters + *length > stream.size())
        return failed<Text>(property + " runs past its stream");
    const auto first = stream.begin() + static_cast<std::ptrdiff_t>(value + kLpstrCharacters);
    const auto last = first + static_cast<std::ptrdiff_t>(*length);
    return {std::string(first, std::find(first, last, 0)), {}};
}

Parsed<std::optional<std::int32_t>> read_integer_property(const Bytes& stream,
                                                          std::uint32_t property_id) {
    using Number = std::optional<std::int32_t>;
    const auto found = find_property(stream, property_id);
    if (!found.ok())
        return failed<Number>(found.failure);
    if (!found.value)
        return {};
    const auto type = u32_in(stream, *found.value + kTypedPropertyType);
    const auto number = u32_in(stream, *found.value + kIntegerValue);
    if (!type || !number)
        return failed<Number>(kSummaryCutShort);
    if (*type == kVtI2)
        return {static_cast<std::int16_t>(*number & 0xFFFF), {}};
    if (*type != kVtI4)
        return failed<Number>("summary property " + std::to_string(property_id) +
                              " is not a number (type " + std::to_string(*type) + ")");
    return {static_cast<std::int32_t>(*number), {}};
}

} // namespace corvath::msp
