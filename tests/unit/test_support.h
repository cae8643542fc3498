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

// The pack's compiled resources with one more RCDATA entry named `name` holding `text` as UTF-16
// with its NUL, as the resource compiler writes it; for Simulation::resourceFile.
std::vector<char> ResourcesWithText(const std::u16string& name, const std::u16string& text);
std::wstring Wide(const std::string& text);

} // namespace testing_support
