// A small PE32+ base laid out by hand for the tests: .text, .rsrc with the given resources and
// .reloc, and the variants the reader must refuse. Its resource directory is laid depth first,
// unsorted, unlike the packer's own, so the reader is not tried only on what the writer makes.
#pragma once

#include "resource_tree.h"

#include <cstdint>
#include <vector>

namespace corvath::pack::test {

struct TestBase {
    std::uint32_t file_alignment = 512;
    ResourceTree resources;
    bool pe32 = false;               // magic 0x10B
    bool symbols = false;            // a COFF symbol table
    bool certificate = false;        // a certificate table at the end
    bool relocations = true;         // a .reloc section
    bool section_after_rsrc = false; // a .debug section last
};

// A few resources: named and numbered types and names, several languages, odd sizes.
ResourceTree sample_resources();

std::vector<std::uint8_t> make_test_base(const TestBase& shape);

// Little-endian numbers at an offset of a file.
std::uint32_t u32(const std::vector<std::uint8_t>& bytes, std::size_t at);
std::uint16_t u16(const std::vector<std::uint8_t>& bytes, std::size_t at);

// The sections of a test base or pack: name, VA, virtual size, raw offset, raw size.
struct SectionView {
    std::uint32_t virtual_address;
    std::uint32_t virtual_size;
    std::uint32_t raw_offset;
    std::uint32_t raw_size;
};
SectionView section_of(const std::vector<std::uint8_t>& image, std::size_t index);
std::size_t optional_header(const std::vector<std::uint8_t>& image);

} // namespace corvath::pack::test
