// The embedded package, read from its start to its end in blocks.
//
// A small package is handed out as one block of the mapped view: one write request straight from
// the view is the fastest way to extract it. A large one is read from the pack's own file, when
// the platform can show that file is the one the running image is mapped from: the package's
// pages in the image are then never touched, so a run neither waits for them to be faulted in
// nor holds them in memory (gigabytes, for a large pack). Where the file cannot be had, the view
// is handed out in blocks of the same size.
#pragma once

#include "platform/files.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace payload {

// Up to this size a package is one block of the view.
constexpr std::uint32_t kOneBlockLimit = 64u << 20;
// The blocks of a larger package.
constexpr std::size_t kPackageBlock = 8u << 20;

class PackageReader {
  public:
    // False when the pack carries no package. Up to `oneBlockLimit` bytes, the package is one
    // block of the view.
    bool Open(std::uint32_t oneBlockLimit = kOneBlockLimit);
    std::uint32_t Size() const { return size_; }
    bool FromFile() const { return file_.IsOpen(); }
    // The next block; `length` is 0 at the end. False when the file cannot be read (the
    // thread's last error tells why).
    bool Next(const std::byte*& block, std::size_t& length);

  private:
    const std::byte* view_ = nullptr;
    std::uint32_t size_ = 0;
    std::uint32_t oneBlockLimit_ = kOneBlockLimit;
    std::uint64_t done_ = 0;
    platform::File file_;
    std::vector<std::byte> buffer_;
};

// Fills `buffer` with `length` bytes from `file`'s position, as many reads as that takes. False
// when the file ends first or cannot be read.
bool ReadFully(platform::File& file, std::byte* buffer, std::size_t length);

} // namespace payload
