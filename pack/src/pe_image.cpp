#include "pe_image.h"

#include "msp/little_endian.h"
#include "pe_layout.h"
#include "rsrc_read.h"

#include <algorithm>

namespace corvath::pack {
namespace {

using msp::u16_at;
using msp::u32_at;

bool fits(const std::vector<std::uint8_t>& file, std::uint64_t at, std::uint64_t size) {
    return at <= file.size() && size <= file.size() - at;
}

bool power_of_two(std::uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

std::optional<std::string> read_sections(BaseImage& image, std::uint32_t count) {
    const std::vector<std::uint8_t>& file = image.file;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* header = file.data() + image.section_table_offset +
                                     static_cast<std::size_t>(i) * pe::kSectionHeaderSize;
        ImageSection section;
        const char* name = reinterpret_cast<const char*>(header);
        section.name.assign(name, std::find(name, name + 8, '\0'));
        section.virtual_size = u32_at(header + pe::kVirtualSize);
        section.virtual_address = u32_at(header + pe::kVirtualAddress);
        section.raw_size = u32_at(header + pe::kSizeOfRawData);
        section.raw_offset = u32_at(header + pe::kPointerToRawData);
        section.characteristics = u32_at(header + pe::kCharacteristics);
        if (section.raw_size != 0 && !fits(file, section.raw_offset, section.raw_size)) {
            return "damaged: section " + section.name + " runs past the end of the file";
        }
        image.sections.push_back(std::move(section));
    }
    // In table order, neither the sections' addresses nor their raw data may overlap: the
    // packer moves the last two and keeps the others where they are.
    std::uint64_t virtual_end = 0;
    std::uint64_t raw_end = 0;
    for (const ImageSection& section : image.sections) {
        if (section.virtual_address < virtual_end) {
            return "damaged: section " + section.name + " overlaps the one before it";
        }
        virtual_end = std::uint64_t{section.virtual_address} +
                      std::max(section.virtual_size, section.raw_size);
        if (section.raw_size != 0) {
            if (section.raw_offset < raw_end) {
                return "damaged: the raw data of section " + section.name + " overlaps";
            }
            raw_end = std::uint64_t{section.raw_offset} + section.raw_size;
        }
    }
    return std::nullopt;
}

std::optional<std::string> find_last_sections(BaseImage& image) {
    const auto named = [&](const char* name) {
        return std::find_if(image.sections.begin(), image.sections.end(),
                            [&](const ImageSection& section) { return section.name == name; });
    };
    const auto rsrc = named(".rsrc");
    if (rsrc == image.sections.end()) {
        return std::string("it has no .rsrc section");
    }
    image.resource_section = static_cast<std::size_t>(rsrc - image.sections.begin());
    if (image.resource_section + 1 == image.sections.size()) {
        return std::string(named(".reloc") == image.sections.end()
                               ? "it has no .reloc section (the image must stay relocatable)"
                               : "its .reloc section comes before .rsrc");
    }
    for (std::size_t i = image.resource_section + 1; i < image.sections.size(); ++i) {
        if (i != image.resource_section + 1 || image.sections[i].name != ".reloc") {
            return "a section follows .rsrc other than .reloc: " + image.sections[i].name;
        }
    }
    image.relocation_section = image.resource_section + 1;
    if (rsrc->raw_size == 0 || image.sections[image.relocation_section].raw_size == 0) {
        return std::string("damaged: .rsrc or .reloc has no raw data");
    }
    return std::nullopt;
}

// Past the last section's raw data only the certificate table may lie: the packer drops it,
// and anything else would be lost without a word.
std::optional<std::string> check_file_end(BaseImage& image, std::uint32_t security_offset,
                                          std::uint32_t security_size) {
    const ImageSection& last = image.sections.back();
    const std::uint64_t end = std::uint64_t{last.raw_offset} + last.raw_size;
    image.had_signature = security_size != 0;
    if (!image.had_signature) {
        if (end != image.file.size()) {
            return std::string("damaged: it has data after its last section");
        }
        return std::nullopt;
    }
    // The table starts on 8 bytes, after at most 7 bytes of padding.
    if (security_offset < end || security_offset - end > 7 ||
        std::uint64_t{security_offset} + security_size != image.file.size()) {
        return std::string("damaged: the certificate table is not all that follows the sections");
    }
    return std::nullopt;
}

// Every data directory but the resources, the certificate table and the relocations must lie
// before .rsrc: the packer moves what follows it.
std::optional<std::string> check_directories(const BaseImage& image, const std::uint8_t* table,
                                             std::uint32_t count) {
    const ImageSection& rsrc = image.sections[image.resource_section];
    const ImageSection& reloc = image.sections[image.relocation_section];
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t rva = u32_at(table + i * 8);
        const std::uint32_t size = u32_at(table + i * 8 + 4);
        if (i == pe::kDirectorySecurity ||
            (size == 0 && i != pe::kDirectoryResource && i != pe::kDirectoryRelocation)) {
            continue;
        }
        const std::uint64_t end = std::uint64_t{rva} + size;
        if (i == pe::kDirectoryResource) {
            if (rva < rsrc.virtual_address ||
                end > std::uint64_t{rsrc.virtual_address} + rsrc.raw_size) {
                return std::string("damaged: the resource directory runs past .rsrc");
            }
        } else if (i == pe::kDirectoryRelocation) {
            if (size == 0 || rva < reloc.virtual_address ||
                end > std::uint64_t{reloc.virtual_address} + reloc.raw_size) {
                return std::string("its base relocations are not in .reloc");
            }
        } else if (end > rsrc.virtual_address) {
            return "data directory " + std::to_string(i) + " lies in .rsrc or after it";
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> read_base_image(std::vector<std::uint8_t> file, BaseImage& image) {
    image = BaseImage{};
    image.file = std::move(file);
    const std::vector<std::uint8_t>& bytes = image.file;
    if (!fits(bytes, 0, 0x40) || bytes[0] != 'M' || bytes[1] != 'Z') {
        return std::string("not a PE32+ image");
    }
    const std::uint32_t nt = u32_at(bytes.data() + pe::kLfanewOffset);
    if (!fits(bytes, nt, pe::kOptionalOffset + 2) || u32_at(bytes.data() + nt) != pe::kSignature ||
        u16_at(bytes.data() + nt + pe::kOptionalOffset) != pe::kMagicPe32Plus) {
        return std::string("not a PE32+ image");
    }
    image.nt_headers_offset = nt;
    const std::uint8_t* coff = bytes.data() + nt + pe::kCoffOffset;
    const std::uint32_t optional_size = u16_at(coff + pe::kSizeOfOptionalHeader);
    const std::uint32_t section_count = u16_at(coff + pe::kNumberOfSections);
    if (optional_size < pe::kDataDirectories ||
        !fits(bytes, nt + pe::kOptionalOffset, optional_size)) {
        return std::string("damaged: the optional header runs past the end of the file");
    }
    const std::uint8_t* optional = bytes.data() + nt + pe::kOptionalOffset;
    const std::uint32_t directory_count = u32_at(optional + pe::kNumberOfRvaAndSizes);
    if (directory_count <= pe::kDirectoryRelocation ||
        directory_count > (optional_size - pe::kDataDirectories) / 8) {
        return std::string("damaged: the data directories do not fit the optional header");
    }
    if (u32_at(coff + pe::kPointerToSymbolTable) != 0 || u32_at(coff + pe::kNumberOfSymbols) != 0) {
        return std::string("it has a COFF symbol table (link it stripped)");
    }
    image.section_alignment = u32_at(optional + pe::kSectionAlignment);
    image.file_alignment = u32_at(optional + pe::kFileAlignment);
    if (!power_of_two(image.file_alignment) || !power_of_two(image.section_alignment) ||
        image.file_alignment < 512 || image.file_alignment > 65536 ||
        image.section_alignment < pe::kPage || image.section_alignment < image.file_alignment) {
        return std::string("its file or section alignment is not one the packer can keep");
    }
    image.section_table_offset = nt + pe::kOptionalOffset + optional_size;
    const std::uint64_t table_size = std::uint64_t{section_count} * pe::kSectionHeaderSize;
    if (!fits(bytes, image.section_table_offset, table_size) ||
        image.section_table_offset + table_size > u32_at(optional + pe::kSizeOfHeaders)) {
        return std::string("damaged: the section table runs past the headers");
    }
    if (auto refusal = read_sections(image, section_count)) {
        return refusal;
    }
    for (const ImageSection& section : image.sections) {
        if (section.raw_size != 0 && section.raw_offset < u32_at(optional + pe::kSizeOfHeaders)) {
            return "damaged: section " + section.name + " overlaps the headers";
        }
    }
    if (auto refusal = find_last_sections(image)) {
        return refusal;
    }
    const std::uint8_t* directories = optional + pe::kDataDirectories;
    if (auto refusal = check_directories(image, directories, directory_count)) {
        return refusal;
    }
    if (auto refusal = check_file_end(image, u32_at(directories + pe::kDirectorySecurity * 8),
                                      u32_at(directories + pe::kDirectorySecurity * 8 + 4))) {
        return refusal;
    }
    const ImageSection& rsrc = image.sections[image.resource_section];
    const std::uint32_t root =
        u32_at(directories + pe::kDirectoryResource * 8) - rsrc.virtual_address;
    return read_resource_directory(bytes.data() + rsrc.raw_offset, rsrc.raw_size,
                                   rsrc.virtual_address, root, image.resources);
}

} // namespace corvath::pack
