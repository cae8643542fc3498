// Whole runs of the packer on the host build's base (.res): a refusal leaves nothing behind, not
// even half a pack; a pack comes with every file an administrator needs beside it.
#include "pack_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using namespace corvath::pack;

class PackRun : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("corvath-pack-run-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    int Pack(const fs::path& patch, std::vector<std::string> extra = {}) {
        std::vector<std::string> arguments = {patch.string(), "-o", (folder_ / "sp.res").string(),
                                              "--base", CORVATH_BASE_RES};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        PackOptions options;
        EXPECT_FALSE(parse_pack_options(arguments, options));
        return run_packer(options, folder_);
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    static fs::path Sample(const char* name) { return fs::path(CORVATH_SAMPLE_DIR) / name; }

    fs::path folder_;
};

TEST_F(PackRun, APackComesWithItsSheetAndScripts) {
    ASSERT_EQ(Pack(Sample("small-update.msp")), 0);
    EXPECT_EQ(Files(), (std::vector<std::string>{"sp.deployment.txt", "sp.detection.ps1",
                                                 "sp.detection.txt", "sp.requirement.ps1",
                                                 "sp.res"}));
}

TEST_F(PackRun, ARefusalLeavesNothing) {
    struct Case {
        const char* what;
        fs::path patch;
        std::vector<std::string> extra;
    };
    // Sparse: the size is refused before anything is read.
    const fs::path large = folder_ / "large.msp";
    std::ofstream(large).close();
    fs::resize_file(large, 4831838208);
    const Case cases[] = {
        {"a patch the checker refuses", Sample("edge-no-patch-code.msp"), {}},
        {"a patch too large for a pack", large, {}},
        {"a finished pack as the base", Sample("corvath-sp-sample.msp"),
         {"--base", CORVATH_PACK_RES}},
        {"308 over 255 units", Sample("corvath-sp-sample.msp"), {"--release", std::string(200, 'x')}},
        {"a release name for a language the base lacks", Sample("corvath-sp-sample.msp"),
         {"--release-names", (folder_ / "names.txt").string()}},
    };
    std::ofstream(folder_ / "names.txt") << "1081=Update 1\n";
    for (const Case& c : cases) {
        EXPECT_EQ(Pack(c.patch, c.extra), 1) << c.what;
        EXPECT_EQ(Files(), (std::vector<std::string>{"large.msp", "names.txt"})) << c.what;
    }
}

} // namespace
