#include "msp/patch_metadata.h"

#include "msp/code_page_text.h"

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
constexpr std::u16string_view kMsiPatchSequenceName =
    u"\x4840\x4596\x3E6C\x45E4\x42E6\x421C\x4634\x4468\x4226";

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

// A table is stored a column after another. MsiPatchMetadata: every row's Company, then every
// Property, then every Value, each a string reference (0: no string).
constexpr std::size_t kMetadataColumns = 3;
constexpr std::size_t kMaxRows = 10000;
constexpr std::string_view kAllowRemoval = "AllowRemoval";
constexpr std::string_view kMinorUpdateTargetRtm = "MinorUpdateTargetRTM";
constexpr std::string_view kDisplayName = "DisplayName";
constexpr std::string_view kDescription = "Description";
constexpr std::string_view kOne = "1";
// MsiPatchSequence: PatchFamily, ProductCode and Sequence (string references), then Attributes,
// a 16-bit number stored plus 0x8000 (0: none).
constexpr std::size_t kSequenceStringColumns = 3;
constexpr std::size_t kInt16Size = 2;
constexpr std::uint16_t kInt16Bias = 0x8000;
constexpr std::uint16_t kSupersedeEarlier = 0x1; // msidbPatchSequenceSupersedeEarlier

constexpr const char* kPoolPastData =
    "its string pool is damaged (its strings run past _StringData)";

// What a string id holds, as far as the row looked for cares.
enum class Known : std::uint8_t {
    Other,
    AllowRemoval,
    MinorUpdateTargetRtm,
    One,
    DisplayName,
    Description
};

// Calls visit(id, text) for every string of the pool, in id order. The strings' places are
// summed in 64 bits, so that no pool of long strings can wrap them round on a 32-bit build;
// false when they run past _StringData.
template <typename Visit> bool walk_pool(const Bytes& pool, const Bytes& data, Visit&& visit) {
    std::uint32_t id = 0;
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
            return false;
        visit(++id, std::string_view(reinterpret_cast<const char*>(data.data()) + offset,
                                     static_cast<std::size_t>(length)));
        offset += length;
    }
    return true;
}

// What each string id holds, found in one pass over the pool: a byte an id, where an index of
// every string's place would take four times the pool. Id 0 and unused ids hold nothing.
Parsed<std::vector<Known>> known_strings(const Bytes& pool, const Bytes& data) {
    Parsed<std::vector<Known>> known;
    known.value.reserve(pool.size() / kPoolEntrySize + 1);
    known.value.push_back(Known::Other);
    const bool whole = walk_pool(pool, data, [&known](std::uint32_t, std::string_view text) {
        known.value.push_back(text == kAllowRemoval           ? Known::AllowRemoval
                              : text == kMinorUpdateTargetRtm ? Known::MinorUpdateTargetRtm
                              : text == kOne                  ? Known::One
                              : text == kDisplayName          ? Known::DisplayName
                              : text == kDescription          ? Known::Description
                                                              : Known::Other);
    });
    return whole ? known : failed<std::vector<Known>>(kPoolPastData);
}

// The pool's code page: entry 0, less the flag of long references.
std::uint32_t code_page_of(const Bytes& pool) {
    if (pool.size() < kPoolEntrySize)
        return 0;
    return u16_at(pool.data()) |
           std::uint32_t{static_cast<std::uint16_t>(u16_at(pool.data() + 2) & ~kPoolLongReferences)}
               << 16;
}

// The string ids of the (no Company) rows whose values are texts to keep; 0: no such row.
struct TextIds {
    std::uint32_t display_name = 0;
    std::uint32_t description = 0;
};

// Those strings, as UTF-8. The pool has been walked whole already.
void read_texts(const Bytes& pool, const Bytes& data, const TextIds& ids, PatchMetadata& metadata) {
    const std::uint32_t code_page = code_page_of(pool);
    walk_pool(pool, data, [&](std::uint32_t id, std::string_view text) {
        if (id == ids.display_name)
            metadata.display_name = utf8_from_code_page(text, code_page);
        if (id == ids.description)
            metadata.description = utf8_from_code_page(text, code_page);
    });
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

// How many rows a table of `row_size` bytes a row holds; 0 for a stream no such table makes.
std::size_t rows_of(const Bytes& table, std::size_t row_size) {
    const std::size_t rows = table.size() / row_size;
    return table.size() % row_size != 0 || rows >= kMaxRows ? 0 : rows;
}

// The rows (no Company) AllowRemoval = 1 and MinorUpdateTargetRTM = 1, and where the texts of
// DisplayName and Description are.
void read_metadata_rows(const Bytes& table, std::size_t width, const std::vector<Known>& known,
                        PatchMetadata& metadata, TextIds& texts) {
    const std::size_t rows = rows_of(table, kMetadataColumns * width);
    for (std::size_t row = 0; row < rows; ++row) {
        const std::uint32_t company = reference_at(table, row * width, width);
        const Known property = known_at(known, reference_at(table, (rows + row) * width, width));
        const std::uint32_t value_id = reference_at(table, (2 * rows + row) * width, width);
        const Known value = known_at(known, value_id);
        if (company != 0)
            continue;
        if (property == Known::DisplayName)
            texts.display_name = value_id;
        if (property == Known::Description)
            texts.description = value_id;
        if (value != Known::One)
            continue;
        metadata.allows_removal = metadata.allows_removal || property == Known::AllowRemoval;
        metadata.minor_update_target_rtm =
            metadata.minor_update_target_rtm || property == Known::MinorUpdateTargetRtm;
    }
}

// Any row of MsiPatchSequence whose Attributes has the supersede bit.
bool supersedes_earlier(const Bytes& table, std::size_t width) {
    const std::size_t rows = rows_of(table, kSequenceStringColumns * width + kInt16Size);
    for (std::size_t row = 0; row < rows; ++row) {
        const std::uint16_t stored =
            u16_at(table.data() + rows * kSequenceStringColumns * width + row * kInt16Size);
        if (stored != 0 && ((stored ^ kInt16Bias) & kSupersedeEarlier) != 0)
            return true;
    }
    return false;
}

} // namespace

Parsed<PatchMetadata> read_patch_metadata(CompoundFile& file,
                                          const std::vector<DirectoryEntry>& root_children) {
    const DirectoryEntry* pool_entry = find_entry(root_children, kStringPoolName);
    const DirectoryEntry* data_entry = find_entry(root_children, kStringDataName);
    const DirectoryEntry* metadata_entry = find_entry(root_children, kMsiPatchMetadataName);
    const DirectoryEntry* sequence_entry = find_entry(root_children, kMsiPatchSequenceName);
    PatchMetadata metadata;
    if (!pool_entry || !data_entry || (!metadata_entry && !sequence_entry))
        return {metadata, {}};
    const auto pool = read_stream(file, *pool_entry);
    if (!pool.ok())
        return failed<PatchMetadata>(pool.failure);
    const bool long_references =
        pool.value.size() >= kPoolEntrySize &&
        (u16_at(pool.value.data() + kPoolEntryReferences) & kPoolLongReferences) != 0;
    const std::size_t width = long_references ? kLongReferenceSize : kShortReferenceSize;

    if (sequence_entry) {
        const auto sequence = read_stream(file, *sequence_entry);
        if (!sequence.ok())
            return failed<PatchMetadata>(sequence.failure);
        metadata.supersedes_earlier = supersedes_earlier(sequence.value, width);
    }
    if (metadata_entry) {
        const auto data = read_stream(file, *data_entry);
        const auto table = read_stream(file, *metadata_entry);
        for (const auto* stream : {&data, &table})
            if (!stream->ok())
                return failed<PatchMetadata>(stream->failure);
        if (rows_of(table.value, kMetadataColumns * width) == 0)
            return {metadata, {}};
        const auto known = known_strings(pool.value, data.value);
        if (!known.ok())
            return failed<PatchMetadata>(known.failure);
        TextIds texts;
        read_metadata_rows(table.value, width, known.value, metadata, texts);
        if (texts.display_name != 0 || texts.description != 0)
            read_texts(pool.value, data.value, texts, metadata);
    }
    return {metadata, {}};
}

} // namespace corvath::msp
