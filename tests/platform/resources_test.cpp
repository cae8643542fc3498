// The resource calls of the Windows platform against the executable's own resources.
#include "payload/package_reader.h"
#include "payload/resource_store.h"
#include "platform/resources.h"

#include <windows.h>

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

using platform::ResourceNameFromId;
using platform::ResourceNameFromText;

TEST(Win32Resources, NamedAndNumberedLookups) {
    const platform::ResourceRef package = platform::FindResourceAnyLanguage(
        ResourceNameFromText(L"MSP"), ResourceNameFromText(L"IDR_MSP"));
    ASSERT_TRUE(package);
    EXPECT_EQ(platform::SizeOfResource(package), 16049664u);
    ASSERT_NE(platform::BytesOfResource(package), nullptr);
    EXPECT_EQ(std::to_integer<int>(platform::BytesOfResource(package)[0]), 0xD0);

    const platform::ResourceRef record = platform::FindResourceAnyLanguage(
        ResourceNameFromText(L"TXT"), ResourceNameFromText(L"#206"));
    ASSERT_TRUE(record);
    EXPECT_EQ(platform::SizeOfResource(record), 926u);
    EXPECT_FALSE(platform::FindResourceAnyLanguage(ResourceNameFromText(L"TXT"),
                                                   ResourceNameFromText(L"#207")));
}

TEST(Win32Resources, TheStoredLanguagesAreExact) {
    const auto type = ResourceNameFromText(L"MSP");
    const auto name = ResourceNameFromText(L"IDR_MSP");
    EXPECT_TRUE(platform::FindResourceInLanguage(type, name, 1046));
    EXPECT_FALSE(platform::FindResourceInLanguage(type, name, 1033));

    const auto strings = ResourceNameFromId(platform::kResourceTypeString);
    for (platform::LanguageId language :
         {1028, 1029, 1031, 1033, 1034, 1036, 1038, 1040, 1041, 1042, 1045, 1046, 1049, 2052}) {
        EXPECT_TRUE(platform::FindResourceInLanguage(strings, ResourceNameFromId(19), language))
            << language;
        EXPECT_TRUE(platform::FindResourceInLanguage(strings, ResourceNameFromId(20), language))
            << language;
        EXPECT_EQ(bool(platform::FindResourceInLanguage(strings, ResourceNameFromId(44), language)),
                  language == 1033)
            << language;
        EXPECT_EQ(bool(platform::FindResourceInLanguage(strings, ResourceNameFromId(57), language)),
                  language == 1033)
            << language;
    }
}

TEST(Win32Resources, StringsFollowTheMessageLanguageNotTheLoadersChoice) {
    std::wstring english;
    payload::SetMessageLanguage(1033);
    ASSERT_EQ(payload::LoadResString(312, english, 256), 23);
    EXPECT_EQ(english, L"Installation Successful");

    std::wstring german;
    payload::SetMessageLanguage(1031);
    ASSERT_GT(payload::LoadResString(312, german, 256), 0);
    EXPECT_NE(german, english);

    std::wstring versions;
    EXPECT_EQ(payload::LoadResString(900, versions, 256), 8);
    EXPECT_EQ(versions, L"8.1.0.4,");
    EXPECT_EQ(payload::LoadResString(700, versions, 256), 7);
    EXPECT_EQ(versions, L"8.2.0.5");

    payload::SetMessageLanguage(0x0413); // a language the pack does not carry
    std::wstring fallback;
    payload::LoadResString(312, fallback, 256);
    EXPECT_EQ(fallback, english);
    payload::ResetMessageLanguage();
}

// The package as a reader hands it out, block after block.
std::vector<std::byte> ReadAll(payload::PackageReader& reader, std::size_t& blocks) {
    std::vector<std::byte> all;
    const std::byte* block = nullptr;
    std::size_t length = 0;
    blocks = 0;
    while (reader.Next(block, length) && length > 0) {
        all.insert(all.end(), block, block + length);
        ++blocks;
    }
    return all;
}

TEST(Win32Resources, ALargePackageIsReadFromTheImagesOwnFile) {
    const platform::ResourceRef package = platform::FindResourceAnyLanguage(
        ResourceNameFromText(L"MSP"), ResourceNameFromText(L"IDR_MSP"));
    const std::byte* view = platform::BytesOfResource(package);
    const std::size_t size = platform::SizeOfResource(package);
    platform::File file;
    std::uint64_t offset = 0;
    ASSERT_TRUE(platform::OpenResourceFile(package, file, offset));

    // Read as a package of more than 1 MiB a block: from the file, in blocks of 8 MiB.
    payload::PackageReader reader;
    ASSERT_TRUE(reader.Open(1u << 20));
    EXPECT_TRUE(reader.FromFile());
    std::size_t blocks = 0;
    const std::vector<std::byte> read = ReadAll(reader, blocks);
    EXPECT_EQ(blocks, 2u);
    ASSERT_EQ(read.size(), size);
    EXPECT_EQ(std::memcmp(read.data(), view, size), 0);
    ASSERT_TRUE(reader.Open());
    EXPECT_FALSE(reader.FromFile()) << "16 MB: one block of the view";
}

TEST(Win32Resources, AnotherFileUnderTheImagesNameIsNotTakenForIt) {
    // A running program's file may be renamed, and another put in its place, say by another
    // process of the user under an elevated pack: its bytes must never pass for the package.
    const platform::ResourceRef package = platform::FindResourceAnyLanguage(
        ResourceNameFromText(L"MSP"), ResourceNameFromText(L"IDR_MSP"));
    wchar_t self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const std::wstring moved = std::wstring(self) + L".moved";
    ASSERT_TRUE(MoveFileW(self, moved.c_str()));
    ASSERT_TRUE(CopyFileW(moved.c_str(), self, TRUE)); // the same bytes, another file
    platform::File file;
    std::uint64_t offset = 0;
    EXPECT_FALSE(platform::OpenResourceFile(package, file, offset));
    payload::PackageReader reader;
    ASSERT_TRUE(reader.Open(1u << 20));
    EXPECT_FALSE(reader.FromFile()) << "the view, then";
    DeleteFileW(self);
    MoveFileW(moved.c_str(), self);
}

} // namespace
