#include "test_support.h"

#include "install/installer_calls.h"
#include "install/product.h"
#include "messages/presenter.h"
#include "payload/resource_store.h"
#include "payload/temp_name.h"
#include "platform/host/simulation.h"
#include "runlog/run_log.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace testing_support {

void FreshProcess::SetUp() {
    platform::host::ResetSimulation();
    payload::ResetTempNameCounter();
    payload::ResetMessageLanguage();
    messages::SetQuiet(false);
    messages::SetBoxesSeen(true);
    messages::CurrentProductName().clear();
    install::ProductList().clear();
    install::UseInstallerUi(install::InstallerUi::Basic);
    runlog::SetLogStyle(runlog::LogStyle::Text);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // Not temp_directory_path(): it follows TMP, which the tests point elsewhere.
    const char* base = std::getenv("TMPDIR");
    scratch_ = std::filesystem::path(base != nullptr ? base : "/tmp") / "corvath-unit" /
               (std::string(info->test_suite_name()) + "." + info->name());
    std::filesystem::remove_all(scratch_);
    std::filesystem::create_directories(scratch_);
    scratchWide_ = Wide(scratch_.string());
    setenv("TMP", scratch_.c_str(), 1);
}

void FreshProcess::TearDown() {
    std::filesystem::remove_all(scratch_);
}

std::vector<char> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

} // namespace testing_support
