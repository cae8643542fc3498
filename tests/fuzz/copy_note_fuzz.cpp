// The next run's clean-up on any note beside a copy of the patch, as a killed run leaves it
// (on the simulated platform, in a folder of the fuzz run's own). Whatever the note holds,
// nothing goes that is not a copy's: a file without a copy's name stays, and so does its note.
#include "payload/copy_note.h"
#include "platform/files.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

struct Folder {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("corvath-fuzz-notes-" + std::to_string(getpid()));
    Folder() { std::filesystem::create_directories(path); }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Folder folder;
    // New files each time: a file cut to nothing and written again is flushed to the disk when
    // it is closed (ext4).
    for (const auto& left : std::filesystem::directory_iterator(folder.path))
        std::filesystem::remove(left.path());
    for (const char* note : {"MSP1.corvath-sp", "other.corvath-sp"})
        std::ofstream(folder.path / note, std::ios::binary)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    for (const char* copy : {"MSP1", "other"})
        std::ofstream(folder.path / copy, std::ios::binary) << "a copy";
    payload::RemoveLeftCopies(platform::FromUtf8(folder.path.string()));
    if (!std::filesystem::exists(folder.path / "other") ||
        !std::filesystem::exists(folder.path / "other.corvath-sp"))
        __builtin_trap();
    return 0;
}
