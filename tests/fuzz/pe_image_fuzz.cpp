// The base reader and the .res reader on any bytes. Whatever they take must lay out as a pack
// again: a base read without a refusal is one the packer can write.
#include "pack_image.h"
#include "pe_image.h"
#include "res_file.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvath::pack;
    std::vector<std::uint8_t> bytes(data, data + size);
    BaseImage image;
    if (!read_base_image(bytes, image)) {
        PackLayout layout;
        if (!lay_out_pack(image, image.resources, layout)) {
            // The head is every byte before the data; it never exceeds the file laid out.
            if (layout.head.size() > layout.file_size) {
                __builtin_trap();
            }
        }
    }
    ResourceTree resources;
    read_res_file(bytes, resources);
    return 0;
}
