// Shared set-up of the host unit tests: a fresh simulated process and a scratch directory.
#pragma once

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace testing_support {

// Each test starts as a freshly started process: no quiet flag, no message language, no
// products, Windows Installer's basic interface, the temp-name counter at its start, no boxes
// shown, and TMP pointing at a new empty directory.
class FreshProcess : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path scratch_;
    std::wstring scratchWide_;
};

std::vector<char> ReadFileBytes(const std::filesystem::path& path);
std::wstring Wide(const std::string& text);

} // namespace testing_support
