// The patch reader and the pack's rules on any bytes, as a release engineer's .msp. Whatever
// the file claims, the checker gives the patch code or the one rule broken, never both and
// never neither; the fuzz test's allocation limit holds it to memory a small file can need.
#include "msp/pack_check.h"
#include "msp/patch_summary.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// The reader takes a path, so the input goes to a file: one a process, deleted at its end.
struct InputFile {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("corvath-fuzz-" + std::to_string(getpid()) + ".msp");
    ~InputFile() {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const InputFile input;
    // A new file each time: a file cut to nothing and written again is flushed to the disk
    // when it is closed (ext4), which takes longer than reading it.
    std::filesystem::remove(input.path);
    std::ofstream(input.path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    const corvath::msp::PackCheck check = corvath::msp::check_pack_patch(input.path);
    if (check.refusal.has_value() == !check.patch_code.empty())
        __builtin_trap();
    corvath::msp::read_patch_summary(input.path);
    return 0;
}
