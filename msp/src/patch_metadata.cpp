#include "msp/patch_metadata.h"

#include <optional>
#include <string>
#include <string_view>

namespace corvath::msp {
namespace {

// A database's tables are streams of the root, their names packed by Windows Installer's
// encoding (the first unit 0x4840 marks a table).
constexpr std::u16string_view kStringPoolName = u"\x4840\x3F3F\x4577\x446C\x3E6A\x44B2\x482F";
constexpr std::u16string_view kStringDataName = u"\x4840\x3F3F\x4577\x446C\x3B6A\x45E4\x4824";
constexpr std::u16string_view kMsiPatchMetadataName =
    u"\x4840\x4596\x3E6C\x45E4\x42E6\x4216\x4137\x4127\x4137";

// _StringPool: 4-byte entries. Entry 0 holds the code page, its top bit set when string
// references are 3 bytes instead of 2; entry N (string id N) a 16-bit length and a 16-bit
// reference count. A string over 64 KiB takes two entries: a zero length with a non-zero
// count, then the length's low and high halves. _StringData holds the strings back to back.
constexpr std::size_t kPoolEntrySize = 4;
constexpr std::size_t kPoolEntryLength = 0;
constexpr std::size_t kPoolEntryReferences = 2;
constexpr std::uint16_t kPoolLongReferences = 0x8000; // in entry 0's second half
constexpr std::size_t kShortReferenceSize = 2;
constexpr std::size_t kLongReferenceSize = 3;

// MsiPatchMetadata is stored a column after another: every row's Company, then every
// Property, then every Value, each a string reference (0: no string).
constexpr std::size_t kMetadataColumns = 3;
constexpr std::size_t kMetadataMaxRows = 10000;
constexpr std::string_view kAllowRemoval = "AllowRemoval";
constexpr std::string_view kAllowed = "1";

struct StringSpan {
    std::size_t offset = 0;
    std::size_t length = 0;
};

// Where each string id's text lies in _StringData; id 0 and unused ids are empty.
std::vector<StringSpan> string_spans(const Bytes& pool) {
    std::vector<StringSpan> spans(1);
    std::size_t offset = 0;
    for (std::size_t at = kPoolEntrySize; at + kPoolEntrySize <= pool.size();
         at += kPoolEntrySize) {
        std::size_t length = u16_at(pool.data() + at + kPoolEntryLength);
        const std::uint16_t references = u16_at(pool.data() + at + kPoolEntryReferences);
        if (length == 0 && references != 0 && at + 2 * kPoolEntrySize <= pool.size()) {
            at += kPoolEntrySize;
            length = u16_at(pool.data() + at + kPoolEntryLength) |
                     std::size_t{u16_at(pool.data() + at + kPoolEntryReferences)} << 16;
        }
        spans.push_back({offset, length});
        offset += length;
    }
    return spans;
}

std::optional<std::string_view> pool_string(const std::vector<StringSpan>& spans, const Bytes& data,
                                            std::uint32_t id) {
    if (id == 0 || id >= spans.size() || spans[id].offset + spans[id].length > data.size())
        return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(data.data()) + spans[id].offset,
                            spans[id].length);
}

std::uint32_t reference_at(const Bytes& table, std::size_t at, std::size_t width) {
    std::uint32_t id = 0;
    for (std::size_t i = 0; i < width; ++i)
        id |= std::uint32_t{table[at + i]} << (8 * i);
    return id;
}

} // namespace

Parsed<bool> allows_removal(CompoundFile& file, const std::vector<DirectoryEntry>& root_children) {
    const DirectoryEntry* pool_entry = find_entry(root_children, kStringPoolName);
    const DirectoryEntry* data_entry = find_entry(root_children, kStringDataName);
    const DirectoryEntry* table_entry = find_entry(root_children, kMsiPatchMetadataName);
    if (!pool_entry || !data_entry || !table_entry)
        return {false, {}};
    const auto pool = read_stream(file, *pool_entry);
    const auto data = read_stream(file, *data_entry);
    const auto table = read_stream(file, *table_entry);
    for (const auto* stream : {&pool, &data, &table})
        if (!stream->ok())
            return failed<bool>(stream->failure);

    const bool long_references =
        pool.value.size() >= kPoolEntrySize &&
        (u16_at(pool.value.data() + kPoolEntryReferences) & kPoolLongReferences) != 0;
    const std::size_t width = long_references ? kLongReferenceSize : kShortReferenceSize;
    const std::size_t row_size = kMetadataColumns * width;
    const std::size_t rows = table.value.size() / row_size;
    if (table.value.size() % row_size != 0 || rows == 0 || rows >= kMetadataMaxRows)
        return {false, {}};

    const auto spans = string_spans(pool.value);
    for (std::size_t row = 0; row < rows; ++row) {
        const std::uint32_t company = reference_at(table.value, row * width, width);
        const auto property =
            pool_string(spans, data.value, reference_at(table.value, (rows + row) * width, width));
        const auto value = pool_string(spans, data.value,
                                       reference_at(table.value, (2 * rows + row) * width, width));
        if (company == 0 && property == kAllowRemoval && value == kAllowed)
            return {true, {}};
    }
    return {false, {}};
}

} // namespace corvath::msp
