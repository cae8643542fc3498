#include "property_set.h"

#include <set>

namespace corvath::patchkit {
namespace {

constexpr std::uint16_t vt_i2 = 2;
constexpr std::uint16_t vt_i4 = 3;
constexpr std::uint16_t vt_lpstr = 30;

// FMTID_SummaryInformation {F29F85E0-4FF9-1068-AB91-08002B27B3D9} in its on-disk byte order.
constexpr std::uint8_t fmtid_summary[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                            0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};

constexpr std::uint32_t header_size = 28 + 20; // header, then one FMTID/offset pair

bool is_ascii(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80 || c == '\0')
            return false;
    return true;
}

void put_value(Bytes& out, const SummaryProperty& property) {
    if (const auto* i2 = std::get_if<std::int16_t>(&property.value)) {
        put_u32(out, vt_i2);
        put_u16(out, static_cast<std::uint16_t>(*i2));
        put_u16(out, 0); // values are padded to 4 bytes
    } else if (const auto* i4 = std::get_if<std::int32_t>(&property.value)) {
        put_u32(out, vt_i4);
        put_u32(out, static_cast<std::uint32_t>(*i4));
    } else {
        const auto& text = std::get<std::string>(property.value);
        put_u32(out, vt_lpstr);
        put_u32(out, static_cast<std::uint32_t>(text.size() + 1)); // the count includes the NUL
        put_text(out, text);
        out.push_back(0);
        while (out.size() % 4 != 0)
            out.push_back(0);
    }
}

} // namespace

std::optional<Bytes> write_summary_information(const std::vector<SummaryProperty>& properties) {
    std::vector<SummaryProperty> all;
    all.push_back({pid_codepage, codepage_western});
    all.insert(all.end(), properties.begin(), properties.end());

    std::set<std::uint32_t> ids;
    for (const auto& property : all) {
        if (!ids.insert(property.id).second)
            return std::nullopt;
        const auto* text = std::get_if<std::string>(&property.value);
        if (text && !is_ascii(*text))
            return std::nullopt;
    }

    Bytes out;
    put_u16(out, 0xFFFE); // byte order mark
    put_u16(out, 0);      // format version
    put_u32(out, 0x00020006);
    out.insert(out.end(), 16, 0); // class id: none
    put_u32(out, 1);              // one section
    out.insert(out.end(), std::begin(fmtid_summary), std::end(fmtid_summary));
    put_u32(out, header_size);

    const std::size_t section_start = out.size();
    put_u32(out, 0); // section size, patched below
    put_u32(out, static_cast<std::uint32_t>(all.size()));
    const std::size_t index_start = out.size();
    out.insert(out.end(), all.size() * 8, 0);

    for (std::size_t i = 0; i < all.size(); ++i) {
        put_u32_at(out, index_start + i * 8, all[i].id);
        put_u32_at(out, index_start + i * 8 + 4,
                   static_cast<std::uint32_t>(out.size() - section_start));
        put_value(out, all[i]);
    }
    put_u32_at(out, section_start, static_cast<std::uint32_t>(out.size() - section_start));
    return out;
}

} // namespace corvath::patchkit
