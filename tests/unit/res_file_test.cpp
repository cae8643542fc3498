#include "platform/host/res_file.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

using platform::host::ParseResFile;
using platform::host::ResEntry;

void U16(std::vector<std::byte>& out, unsigned value) {
    out.push_back(std::byte(value & 0xFF));
    out.push_back(std::byte((value >> 8) & 0xFF));
}
void U32(std::vector<std::byte>& out, unsigned value) {
    U16(out, value & 0xFFFF);
    U16(out, value >> 16);
}

// One entry: named type "TXT", id name 206, language 1046, `data` as its bytes.
std::vector<std::byte> OneEntry(const std::string& data) {
    std::vector<std::byte> out(32); // the leading empty entry ...
    out[4] = std::byte{32};         // ... of header size 32
    std::vector<std::byte> names;
    for (char c : std::string("TXT")) {
        U16(names, static_cast<unsigned char>(c));
    }
    U16(names, 0);
    U16(names, 0xFFFF);
    U16(names, 206);
    while (names.size() % 4 != 0) {
        U16(names, 0);
    }
    U32(out, static_cast<unsigned>(data.size()));
    U32(out, static_cast<unsigned>(8 + names.size() + 16));
    out.insert(out.end(), names.begin(), names.end());
    U32(out, 0);
    U16(out, 0x30);
    U16(out, 1046);
    U32(out, 0);
    U32(out, 0);
    for (char c : data) {
        out.push_back(std::byte(c));
    }
    while (out.size() % 4 != 0) {
        out.push_back(std::byte{0});
    }
    return out;
}

TEST(ResFile, ReadsTypesNamesLanguagesAndData) {
    const std::vector<std::byte> bytes = OneEntry("hello");
    std::vector<ResEntry> entries;
    ASSERT_TRUE(ParseResFile(bytes.data(), bytes.size(), entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].type.text, L"TXT");
    EXPECT_EQ(entries[0].name.id, 206);
    EXPECT_EQ(entries[0].language, 1046);
    EXPECT_EQ(entries[0].size, 5u);
    EXPECT_EQ(std::to_integer<char>(entries[0].data[0]), 'h');
}

TEST(ResFile, EveryTruncationIsRejected) {
    const std::vector<std::byte> bytes = OneEntry("hello");
    // Cutting at any point inside the entry (past the padding) must fail, never read beyond.
    for (std::size_t size = 33; size < bytes.size() - 3; ++size) {
        std::vector<ResEntry> entries;
        EXPECT_FALSE(ParseResFile(bytes.data(), size, entries)) << "size " << size;
        EXPECT_TRUE(entries.empty());
    }
}

TEST(ResFile, SizesThatContradictTheFileAreRejected) {
    std::vector<std::byte> bytes = OneEntry("hello");
    bytes[32] = std::byte{0xFF}; // data size far beyond the end
    bytes[35] = std::byte{0x7F};
    std::vector<ResEntry> entries;
    EXPECT_FALSE(ParseResFile(bytes.data(), bytes.size(), entries));

    bytes = OneEntry("hello");
    bytes[36] = std::byte{8}; // a header too small to hold its own fields
    EXPECT_FALSE(ParseResFile(bytes.data(), bytes.size(), entries));
}

} // namespace
