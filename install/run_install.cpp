#include "install/run_install.h"

#include "install/decision.h"
#include "install/discovery.h"
#include "install/exit_code.h"
#include "install/host_guard.h"
#include "install/version.h"
#include "messages/format.h"
#include "messages/presenter.h"
#include "payload/patch_copy.h"
#include "payload/patch_summary.h"
#include "payload/resource_store.h"
#include "platform/files.h"
#include "platform/msi.h"
#include "platform/process.h"

namespace install {
namespace {

constexpr wchar_t kCommandLineTemplate[] = L"PATCH=\"%s\" REBOOTPROMPT=S FILESINUSETEXT=\"%s\"";
constexpr std::size_t kCommandLineCapacity = 1024;
constexpr std::uint32_t kUiBasicHideCancel = 0x23; // INSTALLUILEVEL_BASIC | HIDECANCEL
constexpr std::int32_t kPrimaryLanguageMask = 0x3FF;

// The copy goes before the box: a box can stay up for hours, and nothing reads the copy again.
InstallResult Stop(RunTally& tally, payload::PatchCopy& copy, messages::MessageId message) {
    copy.Remove();
    messages::ShowMessage(message);
    return {false, ExitCodeFor(tally)};
}

// Messages about a product appear in its language: the thread locale and the catalogue's
// language move together. A value the platform refuses leaves both as they were; a neutral
// language (an empty Language property reads as 0) means the user's default, as the locale does.
void UseProductLanguage(const ProductRecord& record) {
    const std::int32_t language = ParseDecimal(record.language);
    if (!platform::SetThreadLocaleId(static_cast<std::uint32_t>(language))) {
        return;
    }
    if ((language & kPrimaryLanguageMask) == 0) {
        payload::ResetMessageLanguage();
    } else {
        payload::SetMessageLanguage(static_cast<platform::LanguageId>(language & 0xFFFF));
    }
}

void UseUserLanguage() {
    platform::SetThreadLocaleId(platform::kLocaleUserDefault);
    payload::ResetMessageLanguage();
}

// Windows Installer does part of its work in our process and keeps its scratch files in our
// temporary folder: without one, Wine's cannot even open the product's database (1627). When
// that folder is missing or out of reach, the copy went to a fallback of the naming rule, and
// the installer is lent the same folder.
void LendTemporaryFolder(const std::wstring& copyPath) {
    std::wstring temp;
    if (platform::TempDirectory(temp) && platform::IsDirectory(temp)) {
        return;
    }
    const std::wstring folder = copyPath.substr(0, copyPath.find_last_of(L"\\/") + 1);
    platform::SetEnvironmentValue(L"TMP", folder);
    platform::SetEnvironmentValue(L"TEMP", folder);
}

void Count(RunTally& tally, std::uint32_t result) {
    if (result == kExitRebootInitiated) {
        tally.rebootInitiated = true;
    } else if (result == kExitRebootRequired) {
        tally.rebootRequired = true;
    } else if (result != 0 && tally.firstFailedResult == 0) {
        tally.firstFailedResult = result;
    }
}

} // namespace

std::uint32_t ApplyPatchToProduct(ProductRecord& record, const std::wstring& patchPath) {
    std::wstring filesInUse;
    payload::LoadResString(messages::kFilesInUseText, filesInUse, messages::kCatalogueCapacity);
    record.commandLine = messages::FormatTemplate(
        kCommandLineTemplate,
        {messages::FormatArgument::Text(patchPath), messages::FormatArgument::Text(filesInUse)},
        kCommandLineCapacity);

    const std::uint32_t previousLevel = platform::MsiSetUiLevel(kUiBasicHideCancel);
    const std::uint32_t result =
        platform::MsiApplyToProduct(record.productCode, record.commandLine);
    platform::MsiSetUiLevel(previousLevel);

    if (result == 0 || result == kExitRebootInitiated || result == kExitRebootRequired) {
        messages::ShowMessage(messages::kInstallSucceeded);
    } else {
        platform::SetLastError(result);
        messages::ShowMessage(messages::kInstallFailed);
    }
    return result;
}

ProductsOutcome InstallProducts(std::vector<ProductRecord>& products, const std::wstring& patchPath,
                                RunTally& tally) {
    std::size_t upToDate = 0;
    for (ProductRecord& record : products) {
        messages::CurrentProductName() = record.productName;
        UseProductLanguage(record);
        const VersionQuad installed = ParseVersion(record.installedVersion);
        const VersionQuad target = ParseVersion(record.targetVersion);
        switch (DecideProduct(installed, target, record.applicableVersions)) {
        case ProductDecision::UpToDate:
            ++upToDate;
            break;
        case ProductDecision::Apply:
            Count(tally, ApplyPatchToProduct(record, patchPath));
            break;
        case ProductDecision::NotApplicable:
            tally.notApplicable = true;
            messages::ShowMessage(messages::kWrongVersion);
            break;
        case ProductDecision::StopUpToDate:
            return ProductsOutcome::StoppedUpToDate;
        }
    }
    return upToDate == products.size() ? ProductsOutcome::AllUpToDate : ProductsOutcome::Done;
}

InstallResult RunInstall() {
    RunTally tally;
    tally.ownWorkFailed = true; // until the pack's own steps are through

    payload::PatchCopy copy;
    if (!copy.Make()) {
        return Stop(tally, copy, messages::kInstallFailed);
    }
    ProductRecord prototype;
    if (payload::LoadResString(messages::kTargetVersion, prototype.targetVersion,
                               messages::kCatalogueCapacity) == 0 ||
        payload::LoadResString(messages::kApplicableVersions, prototype.applicableVersions,
                               messages::kCatalogueCapacity) == 0) {
        return Stop(tally, copy, messages::kInstallFailed);
    }
    std::wstring targets;
    if (!payload::ReadPatchTargets(copy.Path(), targets)) {
        return Stop(tally, copy, messages::kInstallFailed);
    }
    tally.ownWorkFailed = false;

    DiscoverProducts(prototype, targets);
    std::vector<ProductRecord>& products = ProductList();
    if (products.empty()) {
        tally.noTargetInstalled = true;
        return Stop(tally, copy, messages::kNoTargetProduct);
    }
    if (!WaitForHostProgramClosed()) {
        // The box's own last error (0, or 1400 without a desktop) would read as a meaningless
        // code in the failure message: name the cancel instead, as the exit code does.
        tally.cancelled = true;
        platform::SetLastError(kExitUserCancelled);
        return Stop(tally, copy, messages::kInstallFailed);
    }

    LendTemporaryFolder(copy.Path());
    const ProductsOutcome outcome = InstallProducts(products, copy.Path(), tally);
    switch (outcome) {
    case ProductsOutcome::StoppedUpToDate:
        // In the language of the product that stopped the run, as the thread is still set.
        return Stop(tally, copy, messages::kNotNecessary);
    case ProductsOutcome::AllUpToDate:
        copy.Remove();
        UseUserLanguage();
        messages::ShowMessage(messages::kNotNecessary);
        break;
    case ProductsOutcome::Done:
        copy.Remove();
        break;
    }
    return {true, ExitCodeFor(tally)};
}

} // namespace install
