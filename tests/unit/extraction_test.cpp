#include "payload/extract_patch.h"
#include "payload/package_reader.h"
#include "payload/resource_store.h"
#include "payload/temp_name.h"
#include "platform/files.h"
#include "platform/host/simulation.h"
#include "platform/system.h"
#include "test_support.h"

#include <csignal>
#include <fstream>
#include <sys/resource.h>

namespace {

namespace fs = std::filesystem;
using testing_support::FreshProcess;
using testing_support::ReadFileBytes;
using testing_support::Wide;

class Extraction : public FreshProcess {
  protected:
    // The embedded package, as the resource store hands it out.
    static std::vector<char> Package() {
        const platform::ResourceRef found = payload::FindResourceEntry(L"MSP", L"IDR_MSP");
        const auto* bytes = reinterpret_cast<const char*>(payload::ResourceBytes(found));
        return {bytes, bytes + payload::ResourceSize(found)};
    }
};

TEST_F(Extraction, TheEmbeddedPackageIsTheSamplePatch) {
    EXPECT_EQ(Package(), ReadFileBytes(CORVATH_SAMPLE_PATCH_FILE));
    EXPECT_EQ(Package().size(), 16049664u);
}

TEST_F(Extraction, AnExplicitPathIsReplacedByExactlyThePackage) {
    const fs::path target = scratch_ / "out.msp";
    std::ofstream(target) << std::string(20'000'000, 'x'); // longer than the package
    std::wstring path = Wide(target.string());
    ASSERT_TRUE(payload::ExtractPatch(path));
    EXPECT_EQ(path, Wide(target.string()));
    EXPECT_EQ(ReadFileBytes(target), Package());
}

TEST_F(Extraction, AMissingDirectoryFailsAndCreatesNothing) {
    const fs::path target = scratch_ / "missing" / "out.msp";
    std::wstring path = Wide(target.string());
    EXPECT_FALSE(payload::ExtractPatch(path));
    EXPECT_EQ(path, Wide(target.string()));
    EXPECT_FALSE(fs::exists(scratch_ / "missing"));
}

TEST_F(Extraction, ALargePackageIsReadFromThePacksFileOrElseFromTheViewInBlocks) {
    for (const bool readable : {true, false}) {
        platform::host::TheSimulation().resourceFileReadable = readable;
        payload::PackageReader reader;
        ASSERT_TRUE(reader.Open(1u << 20)); // as if 16 MB were large
        EXPECT_EQ(reader.FromFile(), readable);
        std::vector<char> all;
        const std::byte* block = nullptr;
        std::size_t length = 0;
        int blocks = 0;
        while (reader.Next(block, length) && length > 0) {
            all.insert(all.end(), reinterpret_cast<const char*>(block),
                       reinterpret_cast<const char*>(block) + length);
            ++blocks;
        }
        EXPECT_EQ(blocks, 2) << "8 MiB a block";
        EXPECT_EQ(all, Package()) << readable;
    }
}

TEST_F(Extraction, EmptyPathsGetNumberedTemporaryNamesFromTwo) {
    std::wstring first;
    ASSERT_TRUE(payload::ExtractPatch(first));
    EXPECT_EQ(first, scratchWide_ + L"/MSP2");
    std::wstring second;
    ASSERT_TRUE(payload::ExtractPatch(second));
    EXPECT_EQ(second, scratchWide_ + L"/MSP3");
    EXPECT_EQ(ReadFileBytes(scratch_ / "MSP2"), Package());
    EXPECT_EQ(ReadFileBytes(scratch_ / "MSP3"), Package());
}

TEST_F(Extraction, TakenNamesAreSkippedNeverTruncated) {
    std::ofstream(scratch_ / "MSP2") << "keep me";
    fs::create_directory(scratch_ / "MSP3");
    std::wstring path;
    ASSERT_TRUE(payload::ExtractPatch(path));
    EXPECT_EQ(path, scratchWide_ + L"/MSP4");
    EXPECT_EQ(ReadFileBytes(scratch_ / "MSP2"),
              std::vector<char>({'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
}

TEST_F(Extraction, ANameThatLooksFreeButCannotBeCreatedMovesToTheNextNumber) {
    // A dangling link looks free to the name check, as a file that appears between choosing
    // and creating does; exclusive creation must refuse it and never write through it.
    fs::create_symlink(scratch_ / "elsewhere", scratch_ / "MSP2");
    std::wstring path;
    ASSERT_TRUE(payload::ExtractPatch(path));
    EXPECT_EQ(path, scratchWide_ + L"/MSP3");
    EXPECT_FALSE(fs::exists(scratch_ / "elsewhere"));
    EXPECT_EQ(ReadFileBytes(scratch_ / "MSP3"), Package());
}

TEST_F(Extraction, AWriteCutShortLeavesNoFileBehind) {
    // A file-size limit makes the write stop part way, as a full disk would.
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    const rlimit tight{1 << 20, previous.rlim_max};
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &tight);
    std::wstring explicitPath = Wide((scratch_ / "out.msp").string());
    const bool explicitResult = payload::ExtractPatch(explicitPath);
    std::wstring tempPath;
    const bool tempResult = payload::ExtractPatch(tempPath);
    const std::uint32_t error = platform::LastError();
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(explicitResult);
    EXPECT_FALSE(fs::exists(scratch_ / "out.msp"));
    EXPECT_FALSE(tempResult);
    EXPECT_EQ(tempPath, scratchWide_ + L"/MSP2") << "the chosen name is still handed back";
    EXPECT_FALSE(fs::exists(scratch_ / "MSP2"));
    EXPECT_EQ(error, 223u) << "the write's own error survives the clean-up";
}

TEST_F(Extraction, TmpMustNameAnExistingDirectory) {
    setenv("TMP", (scratch_ / "gone").c_str(), 1);
    std::wstring name;
    ASSERT_TRUE(payload::NextTempName(scratchWide_ + L"/", name));
    EXPECT_EQ(name, scratchWide_ + L"/MSP2");
}

TEST_F(Extraction, WhatCannotBeExaminedIsPassedOverAndEndsTheNamingEarly) {
    // A folder that answers neither yes nor no (a link loop here; an unreachable share or an
    // empty drive on Windows) is not taken for the temporary folder.
    fs::create_directory_symlink(scratch_ / "loop", scratch_ / "loop");
    setenv("TMP", (scratch_ / "loop").c_str(), 1);
    std::wstring name;
    ASSERT_TRUE(payload::NextTempName(scratchWide_ + L"/", name));
    EXPECT_EQ(name, scratchWide_ + L"/MSP2");

    // In a folder whose names cannot be examined, the naming gives up after a short run
    // instead of walking the counter towards 2^31.
    const fs::path folder = scratch_ / "names";
    fs::create_directory(folder);
    for (int n = 3; n < 100; ++n) {
        const fs::path entry = folder / ("MSP" + std::to_string(n));
        fs::create_symlink(entry, entry);
    }
    setenv("TMP", folder.c_str(), 1);
    EXPECT_FALSE(payload::NextTempName(L"", name));
    std::wstring path;
    EXPECT_FALSE(payload::ExtractPatch(path));
    EXPECT_TRUE(path.empty());
    setenv("TMP", scratch_.c_str(), 1);
    ASSERT_TRUE(payload::NextTempName(L"", name));
    EXPECT_LT(std::stoi(name.substr(name.rfind(L"MSP") + 3)), 100) << "the walk stopped early";
}

TEST_F(Extraction, AnUnusableTemporaryDirectoryFailsWithAnEmptyPath) {
    setenv("TMP", std::string(1100, 'd').c_str(), 1);
    std::wstring path;
    EXPECT_FALSE(payload::ExtractPatch(path));
    EXPECT_TRUE(path.empty());
}

} // namespace
