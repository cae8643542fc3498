// Reads the base the packer starts from: a PE32+ image whose last sections are .rsrc and then
// .reloc, with no COFF symbol table, and the resources its .rsrc holds. The base is small (under
// a few MiB) and read whole; every offset and size in it is checked against the file before use.
#pragma once

#include "resource_tree.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvath::pack {

struct ImageSection {
    std::string name; // up to 8 characters
    std::uint32_t virtual_address = 0;
    std::uint32_t virtual_size = 0;
    std::uint32_t raw_offset = 0; // PointerToRawData
    std::uint32_t raw_size = 0;   // SizeOfRawData
    std::uint32_t characteristics = 0;
};

struct BaseImage {
    std::vector<std::uint8_t> file;      // the whole base
    std::uint32_t nt_headers_offset = 0; // e_lfanew
    std::uint32_t section_table_offset = 0;
    std::uint32_t file_alignment = 0;
    std::uint32_t section_alignment = 0;
    std::vector<ImageSection> sections; // in the order of the section table
    std::size_t resource_section = 0;   // index of .rsrc, second last
    std::size_t relocation_section = 0; // index of .reloc, last
    bool had_signature = false;         // a certificate table (the packer drops it)
    ResourceTree resources;
};

// Fills `image` from the base's bytes. A refusal, one line, when they are not such a base: not a
// PE32+ image, damaged (a header, a section or the resource directory outside the file, a
// directory that loops), a COFF symbol table, a section after .rsrc other than .reloc, or no
// .reloc.
std::optional<std::string> read_base_image(std::vector<std::uint8_t> file, BaseImage& image);

} // namespace corvath::pack
