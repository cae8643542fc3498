#include "platform/host/res_file.h"

namespace platform::host {
namespace {

// Each entry: DataSize, HeaderSize, TYPE, NAME (each 0xFFFF + id, or a NUL-terminated UTF-16
// text), padding to 4, DataVersion, MemoryFlags, LanguageId, Version, Characteristics; then
// the data, padded to 4. The file starts with an empty entry of 32 bytes.
constexpr std::size_t kFixedTail = 16; // DataVersion .. Characteristics

class Reader {
  public:
    Reader(const std::byte* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

    bool U16(std::size_t at, std::uint16_t& value) const {
        if (at > size_ || size_ - at < 2) {
            return false;
        }
        value = static_cast<std::uint16_t>(std::to_integer<unsigned>(bytes_[at]) |
                                           (std::to_integer<unsigned>(bytes_[at + 1]) << 8));
        return true;
    }
    bool U32(std::size_t at, std::uint32_t& value) const {
        std::uint16_t low = 0;
        std::uint16_t high = 0;
        if (!U16(at, low) || !U16(at + 2, high)) {
            return false;
        }
        value = low | (static_cast<std::uint32_t>(high) << 16);
        return true;
    }
    // Reads a type or name field at `at`, ending before `limit`; moves `at` past it.
    bool Name(std::size_t& at, std::size_t limit, ResourceName& name) const {
        std::uint16_t first = 0;
        if (at + 2 > limit || !U16(at, first)) {
            return false;
        }
        if (first == 0xFFFF) {
            std::uint16_t id = 0;
            if (at + 4 > limit || !U16(at + 2, id)) {
                return false;
            }
            name = ResourceName{id, {}};
            at += 4;
            return true;
        }
        name = ResourceName{0, {}};
        for (;;) {
            std::uint16_t unit = 0;
            if (at + 2 > limit || !U16(at, unit)) {
                return false;
            }
            at += 2;
            if (unit == 0) {
                return true;
            }
            name.text.push_back(static_cast<wchar_t>(unit));
        }
    }
    const std::byte* At(std::size_t at) const { return bytes_ + at; }

  private:
    const std::byte* bytes_;
    std::size_t size_;
};

std::size_t AlignTo4(std::size_t value) {
    return (value + 3) & ~static_cast<std::size_t>(3);
}

} // namespace

bool ParseResFile(const std::byte* bytes, std::size_t size, std::vector<ResEntry>& entries) {
    entries.clear();
    const Reader reader(bytes, size);
    std::size_t offset = 0;
    while (offset < size) {
        std::uint32_t dataSize = 0;
        std::uint32_t headerSize = 0;
        if (!reader.U32(offset, dataSize) || !reader.U32(offset + 4, headerSize) ||
            headerSize < 8 + 4 + 4 + kFixedTail || headerSize > size - offset ||
            dataSize > size - offset - headerSize) {
            entries.clear();
            return false;
        }
        const std::size_t headerEnd = offset + headerSize;
        std::size_t at = offset + 8;
        ResEntry entry;
        if (!reader.Name(at, headerEnd, entry.type) || !reader.Name(at, headerEnd, entry.name)) {
            entries.clear();
            return false;
        }
        at = AlignTo4(at);
        std::uint16_t language = 0;
        if (at + kFixedTail > headerEnd || !reader.U16(at + 6, language)) {
            entries.clear();
            return false;
        }
        entry.language = language;
        entry.data = reader.At(headerEnd);
        entry.size = dataSize;
        // The leading empty entry has type and name 0 and no data.
        if (!(entry.type.id == 0 && entry.type.text.empty() && dataSize == 0)) {
            entries.push_back(std::move(entry));
        }
        offset = AlignTo4(headerEnd + dataSize);
    }
    return true;
}

} // namespace platform::host
