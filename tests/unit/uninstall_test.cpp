// /uninstall against the simulated machine: which products, which calls, which messages, and
// the exit codes that the installer's results give.
#include "app/entry.h"
#include "install/uninstall.h"
#include "payload/resource_store.h"
#include "platform/host/simulation.h"
#include "test_support.h"

#include <regex>

namespace {

namespace fs = std::filesystem;
using platform::host::InstalledProduct;
using platform::host::TheSimulation;

constexpr wchar_t kPatch[] = L"{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}";
constexpr wchar_t kDe[] = L"{6513270E-4F3E-0D37-F2A7-4DE452E6B438}";
constexpr wchar_t kFr[] = L"{D23F0824-4F3E-2F33-0C5C-7FD0A6A3A450}";
constexpr wchar_t kEn[] = L"{9531985D-4F3E-C9F8-1818-E811892F902B}";

class Uninstall : public testing_support::FreshProcess {
  protected:
    void SetUp() override {
        FreshProcess::SetUp();
        Patched(kDe, L"1031");
        Patched(kFr, L"1036");
        Patched(kEn, L"1033").patches.clear(); // installed, without the patch
    }
    InstalledProduct& Patched(const wchar_t* code, const wchar_t* language) {
        InstalledProduct& product = TheSimulation().products[code];
        product.properties = {
            {L"VersionString", L"8.2.0.5"}, {L"ProductName", L"Corvath"}, {L"Language", language}};
        product.patches[kPatch] = {};
        return product;
    }
    static std::wstring Catalogue(unsigned id, platform::LanguageId language) {
        payload::SetMessageLanguage(language);
        std::wstring text;
        payload::LoadResString(id, text, 256);
        payload::ResetMessageLanguage();
        return text;
    }
    std::vector<std::wstring> Texts() const {
        std::vector<std::wstring> texts;
        for (const auto& box : TheSimulation().shownBoxes) {
            texts.push_back(box.text);
        }
        return texts;
    }
};

TEST_F(Uninstall, RemovesThePatchWhereItIsAppliedInEachProductsLanguage) {
    install::InstallSettings settings;
    settings.noRestart = true;
    EXPECT_EQ(install::RunUninstall(settings).exitCode, 0u);
    ASSERT_EQ(TheSimulation().removeCalls.size(), 2u) << "the English product has no patch";
    const auto& first = TheSimulation().removeCalls[0];
    EXPECT_EQ(first.patchCode, kPatch);
    EXPECT_EQ(first.productCode, kDe);
    EXPECT_EQ(first.properties, L"REBOOTPROMPT=S REBOOT=ReallySuppress");
    EXPECT_EQ(first.uiLevel, 0x23u);
    EXPECT_EQ(first.threadLocale, 1031u);
    EXPECT_EQ(TheSimulation().removeCalls[1].productCode, kFr);
    EXPECT_EQ(Texts(), (std::vector<std::wstring>{Catalogue(318, 1031), Catalogue(318, 1036)}));
    EXPECT_EQ(TheSimulation().shownBoxes[0].caption, Catalogue(321, 1031));
    EXPECT_FALSE(fs::exists(scratch_ / "MSP2")) << "the copy read for the target list is gone";

    // Again: nothing is left to remove, which is success too, in the user's language.
    TheSimulation().shownBoxes.clear();
    install::ProductList().clear();
    EXPECT_EQ(install::RunUninstall().exitCode, 0u);
    EXPECT_EQ(TheSimulation().removeCalls.size(), 2u);
    EXPECT_EQ(Texts(), (std::vector<std::wstring>{L"The service pack is not installed on this "
                                                  L"computer."}));
    EXPECT_EQ(TheSimulation().snapshotsTaken, 1) << "the guard runs only before a removal";
}

TEST_F(Uninstall, APatchThatUpgradedTheProductCannotBeRemoved) {
    // A major-upgrade patch moved the product to another code; Windows Installer cannot take
    // such a patch off. The pack says so (1646) without asking it to.
    constexpr wchar_t kUpgraded[] = L"{0A1B2C3D-0000-4000-8000-0000000000A1}";
    TheSimulation().products.clear();
    Patched(kUpgraded, L"1031");
    TheSimulation().resourceFile = std::make_shared<const std::vector<char>>(
        testing_support::ResourcesWithText(u"UPGRADED_CODES", u"{0A1B2C3D-0000-4000-8000-"
                                                              u"0000000000A1};"));
    EXPECT_EQ(install::RunUninstall().exitCode, 1646u);
    EXPECT_TRUE(TheSimulation().removeCalls.empty());
    ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u);
    EXPECT_NE(TheSimulation().shownBoxes[0].text.find(L"1646"), std::wstring::npos);
    EXPECT_EQ(TheSimulation().snapshotsTaken, 0) << "nobody is asked to close Corvath";
}

TEST_F(Uninstall, ExitCodesFromTheInstallersResults) {
    struct Row {
        const char* name;
        std::vector<std::uint32_t> results; // de, fr
        bool leavesPatch;
        std::uint32_t exitCode;
    };
    const Row rows[] = {
        {"a patch that cannot be removed", {1646, 1646}, false, 1646},
        {"a restart needed", {3010, 0}, false, 3010},
        {"a restart started wins over one needed", {3010, 1641}, false, 1641},
        {"the first failure wins over a restart", {3010, 1603}, false, 1603},
        {"busy once, then done", {1618, 0, 0}, false, 0},
        {"success answered, patch still there", {0, 0}, true, 1603},
    };
    for (const Row& row : rows) {
        install::ProductList().clear();
        TheSimulation().shownBoxes.clear();
        Patched(kDe, L"1031").firstRemoveResults = {row.results[0]};
        Patched(kFr, L"1036").firstRemoveResults = {row.results.begin() + 1, row.results.end()};
        TheSimulation().products[kDe].removalLeavesPatch = row.leavesPatch;
        TheSimulation().products[kFr].removalLeavesPatch = row.leavesPatch;
        if (row.results[0] == 1618) {
            TheSimulation().products[kDe].firstRemoveResults = {1618, 0};
        }
        EXPECT_EQ(install::RunUninstall().exitCode, row.exitCode) << row.name;
        if (row.exitCode == 1646 || row.leavesPatch) {
            const std::wstring& failure = TheSimulation().shownBoxes.at(0).text;
            EXPECT_EQ(failure.substr(failure.size() - 4), std::to_wstring(row.exitCode))
                << row.name;
        }
    }
}

TEST_F(Uninstall, AContextThatFailsDoesNotEndTheSearch) {
    // A damaged per-user registration; the patch is registered per machine.
    TheSimulation().products[kDe].contextErrors = {{1, 1610}, {2, 1603}};
    EXPECT_EQ(install::RunUninstall().exitCode, 0u);
    EXPECT_EQ(TheSimulation().removeCalls.size(), 2u);

    // Known in no context: the first failure is what the search answers, and nothing is removed.
    install::ProductList().clear();
    TheSimulation().removeCalls.clear();
    TheSimulation().products[kDe].patches.clear();
    TheSimulation().products[kFr].patches.clear();
    EXPECT_EQ(install::RunUninstall().exitCode, 0u);
    EXPECT_TRUE(TheSimulation().removeCalls.empty());
}

TEST_F(Uninstall, ACancelAtTheGuardRemovesNothing) {
    TheSimulation().processes = {{100, L"corvath.exe"}};
    TheSimulation().answers = {2};
    EXPECT_EQ(install::RunUninstall().exitCode, 1602u);
    EXPECT_TRUE(TheSimulation().removeCalls.empty());
    ASSERT_EQ(TheSimulation().shownBoxes.size(), 2u);
    EXPECT_EQ(TheSimulation().shownBoxes[1].text.substr(0, 41),
              L"A problem prevented the service pack from");
}

TEST_F(Uninstall, IsAJobWithALogOfItsOwnAfterTheOthers) {
    TheSimulation().commandLine = {L"corvath-sp.exe", L"/uninstall", L"/q", L"/e",
                                   testing_support::Wide((scratch_ / "x.msp").string())};
    EXPECT_EQ(app::Entry(), 0);
    EXPECT_TRUE(fs::exists(scratch_ / "x.msp"));
    EXPECT_EQ(TheSimulation().removeCalls.size(), 2u);
    EXPECT_TRUE(TheSimulation().configureCalls.empty()) << "no installation";
    std::size_t logs = 0;
    for (const auto& entry : fs::directory_iterator(scratch_)) {
        logs += std::regex_match(entry.path().filename().string(),
                                 std::regex(R"(corvath-sp-8\.2\.0\.5-uninstall-\d{8}-\d{6}\.log)"));
    }
    EXPECT_EQ(logs, 1u);
}

} // namespace
