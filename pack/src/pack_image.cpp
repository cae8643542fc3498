#include "pack_image.h"

#include "le_write.h"
#include "msp/little_endian.h"
#include "pack_output.h"
#include "pe_layout.h"
#include "rsrc_section.h"

#include <algorithm>
#include <limits>

namespace corvath::pack {
namespace {

using msp::u32_at;

constexpr std::uint64_t kLimit = std::numeric_limits<std::uint32_t>::max();

void put_section(std::vector<std::uint8_t>& head, std::size_t header, std::uint32_t rva,
                 std::uint32_t virtual_size, std::uint32_t raw_offset, std::uint32_t raw_size) {
    put_u32(head, header + pe::kVirtualSize, virtual_size);
    put_u32(head, header + pe::kVirtualAddress, rva);
    put_u32(head, header + pe::kSizeOfRawData, raw_size);
    put_u32(head, header + pe::kPointerToRawData, raw_offset);
}

// The linker's own sum, less the two sections' old raw sizes plus their new ones.
std::uint32_t initialized_data(const BaseImage& base, const PackLayout& layout,
                               std::uint32_t relocation_raw_size) {
    const std::uint8_t* optional = base.file.data() + base.nt_headers_offset + pe::kOptionalOffset;
    std::int64_t size = u32_at(optional + pe::kSizeOfInitializedData);
    const ImageSection& rsrc = base.sections[base.resource_section];
    const ImageSection& reloc = base.sections[base.relocation_section];
    if (rsrc.characteristics & pe::kInitializedData) {
        size += std::int64_t{layout.resource_raw_size} - rsrc.raw_size;
    }
    if (reloc.characteristics & pe::kInitializedData) {
        size += std::int64_t{relocation_raw_size} - reloc.raw_size;
    }
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(size, 0, kLimit));
}

void patch_headers(const BaseImage& base, PackLayout& layout, std::uint32_t relocation_raw_size) {
    std::vector<std::uint8_t>& head = layout.head;
    const std::size_t optional = base.nt_headers_offset + pe::kOptionalOffset;
    const std::size_t directories = optional + pe::kDataDirectories;
    const ImageSection& reloc = base.sections[base.relocation_section];
    const std::uint32_t relocations =
        u32_at(head.data() + directories + pe::kDirectoryRelocation * 8);

    put_section(head, base.section_table_offset + base.resource_section * pe::kSectionHeaderSize,
                layout.resource_rva, layout.resource_virtual_size, layout.resource_raw_offset,
                layout.resource_raw_size);
    put_section(head, base.section_table_offset + base.relocation_section * pe::kSectionHeaderSize,
                layout.relocation_rva, reloc.virtual_size, layout.relocation_raw_offset,
                relocation_raw_size);
    put_u32(head, directories + pe::kDirectoryResource * 8, layout.resource_rva);
    put_u32(head, directories + pe::kDirectoryResource * 8 + 4, layout.resource_virtual_size);
    put_u32(head, directories + pe::kDirectorySecurity * 8, 0);
    put_u32(head, directories + pe::kDirectorySecurity * 8 + 4, 0);
    put_u32(head, directories + pe::kDirectoryRelocation * 8,
            relocations - reloc.virtual_address + layout.relocation_rva);
    put_u32(head, optional + pe::kSizeOfImage, layout.size_of_image);
    put_u32(head, optional + pe::kSizeOfInitializedData,
            initialized_data(base, layout, relocation_raw_size));
    put_u32(head, layout.checksum_offset, 0); // counted as zero, written at the end
}

} // namespace

std::optional<std::string> lay_out_pack(const BaseImage& base, const ResourceTree& resources,
                                        PackLayout& layout) {
    layout = PackLayout{};
    ResourceTree sorted = resources;
    sort_for_directory(sorted);
    if (std::count_if(sorted.begin(), sorted.end(),
                      [](const Resource& resource) { return resource.streamed; }) > 1) {
        return std::string("two resources are streamed; a pack streams only its patch");
    }
    if (auto refusal = duplicate_or_long_key(sorted)) {
        return refusal;
    }
    const ImageSection& rsrc = base.sections[base.resource_section];
    const ImageSection& reloc = base.sections[base.relocation_section];
    ResourceSection section = lay_out_resource_section(sorted, rsrc.virtual_address);

    // A page of the file and a page of the image both, so the patch maps straight from it.
    const std::uint64_t raw_offset =
        align_up(rsrc.raw_offset, std::max<std::uint32_t>(pe::kPage, base.file_alignment));
    const std::uint64_t raw_size = align_up(section.content_size, base.file_alignment);
    const std::uint64_t relocation_rva =
        align_up(rsrc.virtual_address + section.content_size, base.section_alignment);
    const std::uint64_t relocation_raw_size = align_up(reloc.raw_size, base.file_alignment);
    const std::uint64_t size_of_image =
        relocation_rva +
        align_up(std::max(reloc.virtual_size, reloc.raw_size), base.section_alignment);
    const std::uint64_t file_size = raw_offset + raw_size + relocation_raw_size;
    if (size_of_image > kLimit || file_size > kLimit) {
        return std::string("the pack would reach 4 GiB, more than an image can hold");
    }

    layout.resource_rva = rsrc.virtual_address;
    layout.resource_raw_offset = static_cast<std::uint32_t>(raw_offset);
    layout.resource_virtual_size = static_cast<std::uint32_t>(section.content_size);
    layout.resource_raw_size = static_cast<std::uint32_t>(raw_size);
    layout.relocation_rva = static_cast<std::uint32_t>(relocation_rva);
    layout.relocation_raw_offset = static_cast<std::uint32_t>(raw_offset + raw_size);
    layout.size_of_image = static_cast<std::uint32_t>(size_of_image);
    layout.file_size = file_size;
    layout.streamed_offset = raw_offset + section.front.size();
    const auto streamed = std::find_if(sorted.begin(), sorted.end(),
                                       [](const Resource& resource) { return resource.streamed; });
    layout.streamed_size = streamed == sorted.end() ? 0 : streamed->streamed_size;
    layout.checksum_offset = base.nt_headers_offset + pe::kOptionalOffset + pe::kCheckSum;

    layout.head.assign(base.file.begin(), base.file.begin() + rsrc.raw_offset);
    patch_headers(base, layout, static_cast<std::uint32_t>(relocation_raw_size));
    layout.head.resize(layout.resource_raw_offset, 0);
    layout.head.insert(layout.head.end(), section.front.begin(), section.front.end());
    layout.data_offsets = std::move(section.data_offsets);
    layout.resources = std::move(sorted);
    return std::nullopt;
}

bool write_pack_head(PackOutput& out, const PackLayout& layout) {
    return out.written == 0 && write_out(out, layout.head.data(), layout.head.size());
}

bool write_pack_bytes(PackOutput& out, const std::uint8_t* bytes, std::size_t size) {
    return write_out(out, bytes, size);
}

bool write_pack_tail(PackOutput& out, const BaseImage& base, const PackLayout& layout,
                     const ResourceTree& resources) {
    // All of the patch, and no more, before anything follows it.
    if (out.written != layout.streamed_offset + layout.streamed_size) {
        return false;
    }
    ResourceTree sorted = resources;
    sort_for_directory(sorted);
    if (sorted.size() != layout.resources.size()) {
        return false;
    }
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const Resource& laid = layout.resources[i];
        const Resource& given = sorted[i];
        if (!(laid.type == given.type) || !(laid.name == given.name) ||
            laid.language != given.language || laid.streamed != given.streamed ||
            laid.size() != given.size() || laid.code_page != given.code_page) {
            return false;
        }
    }
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (sorted[i].streamed) {
            continue;
        }
        if (!write_zeros_to(out,
                            std::uint64_t{layout.resource_raw_offset} + layout.data_offsets[i]) ||
            !write_out(out, sorted[i].bytes.data(), sorted[i].bytes.size())) {
            return false;
        }
    }
    const ImageSection& reloc = base.sections[base.relocation_section];
    if (!write_zeros_to(out, layout.relocation_raw_offset) ||
        !write_out(out, base.file.data() + reloc.raw_offset, reloc.raw_size) ||
        !write_zeros_to(out, layout.file_size)) {
        return false;
    }
    std::vector<std::uint8_t> checksum(4);
    put_u32(checksum, 0, checksum_value(out.checksum));
    return std::fseek(out.file, static_cast<long>(layout.checksum_offset), SEEK_SET) == 0 &&
           std::fwrite(checksum.data(), 1, checksum.size(), out.file) == checksum.size() &&
           std::fseek(out.file, 0, SEEK_END) == 0 && std::fflush(out.file) == 0;
}

} // namespace corvath::pack
