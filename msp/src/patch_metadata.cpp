#include "msp/patch_metadata.h"

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

constexpr const char* kPoolPastData =
    "its string pool is damaged (its strings run past _StringData)";

// What a string id holds, as far as the row looked for cares.
enum class Known : std::uint8_t { Other, AllowRemoval, Allowed };

// What each string id holds, found in one pass over the pool: a byte an id, where an index of
// every string's place would take four times the pool. Id 0 and unused ids hold nothing. The
// strings' places are summed in 64 bits, so that no pool of long strings can wrap them round
// on a 32-bit build; a pool whose strings run past _StringData is refused.
Parsed<std::vector<Known>> known_strings(const Bytes& pool, const Bytes& data) {
    Parsed<std::vector<Known>> known;
    known.value.reserve(pool.size() / kPoolEntrySize + 1);
    known.value.push_back(Known::Other);
    std::uint64_t offset = 0;
    for (std::size_t at = kPoolEntrySize; at + kPoolEntrySize <= pool.size();
         at += kPoolEntrySize) {
        std::uint64_t length = u16_at(pool.data() + at + kPoolEntryLength);
        const std::uint16_t references = u16_at(pool.data() + at + kPoolEntryReferences);
        if (length == 0 && references != 0 && at + 2 * kPoolEntrySize <= pool.size()) {
            at += kPoolEntrySize;
            length = u16_at(pool.data() + at + kPoolEntryLength) |
                     std::uint64_t{u16_at(pool.data() + at + kPoolEntryReferences)} << 16;
        }
        if (length > data.size() - offset)
            return failed<std::vector<Known>>(kPoolPastData);
        const std::string_view text(reinterpret_cast<const char*>(data.data()) + offset,
                                    static_cast<std::size_t>(length));
        known.value.push_back(text == kAllowRemoval ? Known::AllowRemoval
                              : text == kAllowed    ? Known::Allowed
                                                    : Known::Other);
        offset += length;
    }
    return known;
}

Known known_at(const std::vector<Known>& known, std::uint32_t id) {
    return id < known.size() ? known[id] : Known::Other;
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

    const auto known = known_strings(pool.value, data.value);
    if (!known.ok())
        return failed<bool>(known.failure);
    for (std::size_t row = 0; row < rows; ++row) {
        const std::uint32_t company = reference_at(table.value, row * width, width);
        const Known property =
            known_at(known.value, reference_at(table.value, (rows + row) * width, width));
        const Known value =
            known_at(known.value, reference_at(table.value, (2 * rows + row) * width, width));
        if (company == 0 && property == Known::AllowRemoval && value == Known::Allowed)
            return {true, {}};
    }
    return {false, {}};
}

} // namespace corvath::msp
