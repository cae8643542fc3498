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

std::vector<char> ResourcesWithText(const std::u16string& name, const std::u16string& text) {
    std::vector<char> res = ReadFileBytes(CORVATH_RES_FILE);
    const auto put16 = [](std::vector<char>& out, std::uint16_t value) {
        out.push_back(static_cast<char>(value & 0xFF));
        out.push_back(static_cast<char>(value >> 8));
    };
    const auto put32 = [&put16](std::vector<char>& out, std::uint32_t value) {
        put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
        put16(out, static_cast<std::uint16_t>(value >> 16));
    };
    std::vector<char> data;
    for (char16_t unit : text + u'\0') {
        put16(data, unit);
    }
    // TYPE (RT_RCDATA by id), NAME (a text), then the fixed fields after DWORD alignment.
    std::vector<char> names;
    put16(names, 0xFFFF);
    put16(names, 10);
    for (char16_t unit : name + u'\0') {
        put16(names, unit);
    }
    while (names.size() % 4 != 0) {
        names.push_back(0);
    }
    put32(res, static_cast<std::uint32_t>(data.size()));
    put32(res, static_cast<std::uint32_t>(8 + names.size() + 16));
    res.insert(res.end(), names.begin(), names.end());
    put32(res, 0);      // DataVersion
    put16(res, 0x0030); // MemoryFlags: MOVEABLE | PURE
    put16(res, 1033);   // LanguageId
    put32(res, 0);      // Version
    put32(res, 0);      // Characteristics
    res.insert(res.end(), data.begin(), data.end());
    while (res.size() % 4 != 0) {
        res.push_back(0);
    }
    return res;
}

} // namespace testing_support
