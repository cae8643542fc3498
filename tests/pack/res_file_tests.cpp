#include "pack_output.h"
#include "res_file.h"
#include "rsrc_section.h"
#include "test_base_image.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace corvath::pack {
namespace {

std::vector<std::uint8_t> read_all(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void expect_tree(ResourceTree expected, ResourceTree actual) {
    sort_for_directory(expected);
    sort_for_directory(actual);
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_TRUE(actual[i].type == expected[i].type && actual[i].name == expected[i].name) << i;
        EXPECT_EQ(actual[i].language, expected[i].language) << i;
        EXPECT_EQ(actual[i].bytes, expected[i].bytes) << i;
    }
}

TEST(ResFile, WritesTheStreamedResourceFirstAndReadsBack) {
    ResourceTree tree = test::sample_resources();
    for (Resource& resource : tree) {
        resource.code_page = 0; // .res files keep none
    }
    Resource patch{key_of(u"MSP"), key_of(u"IDR_MSP"), kLanguagePortugueseBrazil, {}};
    patch.streamed = true;
    patch.streamed_size = 4099;
    tree.insert(tree.begin() + 2, patch);
    const std::vector<std::uint8_t> patch_bytes(4099, 0x5C);

    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    PackOutput out{file, {}, 0};
    const std::vector<std::uint8_t> head = res_file_head(tree);
    ASSERT_TRUE(write_out(out, head.data(), head.size()));
    ASSERT_TRUE(write_out(out, patch_bytes.data(), 99));
    ASSERT_TRUE(write_out(out, patch_bytes.data() + 99, patch_bytes.size() - 99));
    ASSERT_TRUE(write_res_tail(out, tree));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(out.written));
    std::rewind(file);
    ASSERT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);

    EXPECT_EQ(bytes.size() % 4, 0u);
    // The patch's data directly follows its header, the first after the empty entry.
    EXPECT_TRUE(std::equal(patch_bytes.begin(), patch_bytes.end(), bytes.begin() + head.size()));
    ResourceTree read;
    const auto refusal = read_res_file(bytes, read);
    ASSERT_FALSE(refusal) << *refusal;
    tree[2].streamed = false;
    tree[2].bytes = patch_bytes;
    expect_tree(tree, read);

    // Damage is refused, not read short.
    for (const std::size_t cut : {bytes.size() - 5, std::size_t{40}, std::size_t{8}}) {
        const std::vector<std::uint8_t> truncated(bytes.begin(), bytes.begin() + cut);
        EXPECT_TRUE(read_res_file(truncated, read)) << cut;
        EXPECT_TRUE(read.empty());
    }
    std::vector<std::uint8_t> no_empty_entry(bytes.begin() + 32, bytes.end());
    EXPECT_TRUE(read_res_file(no_empty_entry, read));
}

TEST(ResFile, ReadsWhatWindresCompiles) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("corvath-res-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    {
        std::ofstream rc(folder / "t.rc");
        rc << "LANGUAGE 0x16, 0x1\nIDR_MSP MSP { \"ab\" }\n206 TXT { \"abc\" }\n"
              "LANGUAGE 0, 0\nCorvath_Sp_Base RCDATA { 1L }\n";
    }
    const std::string command = "x86_64-w64-mingw32-windres -O res " + (folder / "t.rc").string() +
                                " " + (folder / "t.res").string() + " 2>/dev/null";
    if (std::system(command.c_str()) != 0) {
        std::filesystem::remove_all(folder);
        GTEST_SKIP() << "no x86_64-w64-mingw32-windres";
    }
    const std::vector<std::uint8_t> bytes = read_all(folder / "t.res");
    std::filesystem::remove_all(folder);
    ResourceTree read;
    const auto refusal = read_res_file(bytes, read);
    ASSERT_FALSE(refusal) << *refusal;
    ResourceTree expected;
    expected.push_back({key_of(u"MSP"), key_of(u"IDR_MSP"), 1046, {'a', 'b'}});
    expected.push_back({key_of(u"TXT"), key_of(206), 1046, {'a', 'b', 'c'}});
    expected.push_back({key_of(kTypeRcData), key_of(u"CORVATH_SP_BASE"), 0, {1, 0, 0, 0}});
    expect_tree(expected, read);
}

} // namespace
} // namespace corvath::pack
