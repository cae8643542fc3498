#include "install/uninstall.h"

#include "install/discovery.h"
#include "install/host_guard.h"
#include "install/installer_calls.h"
#include "install/installer_log.h"
#include "install/machine_policies.h"
#include "install/patch_state.h"
#include "install/product_language.h"
#include "install/run_holds.h"
#include "messages/presenter.h"
#include "payload/patch_summary.h"
#include "payload/resource_store.h"
#include "payload/upgraded_codes.h"
#include "platform/msi.h"
#include "platform/system.h"
#include "runlog/run_log.h"

#include <vector>

namespace install {
namespace {

constexpr wchar_t kRemovalProperties[] = L"REBOOTPROMPT=S";
constexpr wchar_t kSuppressRestart[] = L" REBOOT=ReallySuppress";

// Whether the patch is applied to the product, as Windows Installer has it registered.
bool IsPatchApplied(const std::wstring& patchCode, const ProductRecord& record) {
    const PatchRegistration registration = QueryPatchState(patchCode, record.productCode);
    if (registration.error != platform::kErrorSuccess) {
        runlog::Log(L"patch " + patchCode + L" on " + record.productCode + L": not registered (" +
                    runlog::DescribeError(registration.error) + L")");
        return false;
    }
    std::wstring uninstallable;
    PatchInfo(patchCode, record.productCode, L"Uninstallable", uninstallable);
    runlog::Log(L"patch " + patchCode + L" on " + record.productCode + L": state " +
                runlog::Quoted(registration.stateText) + L", uninstallable " +
                runlog::Quoted(uninstallable));
    return registration.state == PatchState::Applied;
}

// The installed targets that have the patch applied.
std::vector<ProductRecord> PatchedProducts(const std::wstring& patchCode,
                                           const std::wstring& targets) {
    runlog::Log(L"removing patch " + patchCode + L" from the products that have it");
    DiscoverProducts(ProductRecord{}, targets);
    std::vector<ProductRecord> patched;
    for (const ProductRecord& record : ProductList()) {
        if (IsPatchApplied(patchCode, record)) {
            patched.push_back(record);
        }
    }
    runlog::Log(L"products with the patch applied: " + std::to_wstring(patched.size()));
    return patched;
}

// A major-upgrade patch moved these products to other codes: Windows Installer cannot remove
// such a patch (it would have to give the product its old code back).
std::vector<ProductRecord> UpgradedWithThePatch(const std::wstring& patchCode) {
    std::vector<ProductRecord> upgraded;
    for (const std::wstring& code : payload::UpgradedProductCodes()) {
        ProductRecord record;
        record.productCode = code;
        if (IsProductInstalled(code) && IsPatchApplied(patchCode, record)) {
            record.productName = ReadProductProperty(code, L"ProductName");
            record.language = ReadProductProperty(code, L"Language");
            upgraded.push_back(record);
        }
    }
    return upgraded;
}

// Each product the patch upgraded keeps it: 1646 for each, with no installer call.
void ReportUnremovable(const std::vector<ProductRecord>& upgraded, RunTally& tally) {
    for (const ProductRecord& record : upgraded) {
        messages::CurrentProductName() = record.productName;
        UseProductLanguage(record);
        runlog::Log(L"product " + record.productCode +
                    L" has the patch under a code the patch upgrades to: Windows Installer cannot "
                    L"remove a major-upgrade patch (1646)");
        CountResult(tally, kExitRemovalUnsupported);
        ReportResult(kExitRemovalUnsupported, messages::kRemoved, messages::kRemovalFailed);
    }
}

} // namespace

std::uint32_t RemovePatchFromProduct(const ProductRecord& record, const std::wstring& patchCode,
                                     bool noRestart, WaitBudget& budget) {
    const std::wstring properties =
        std::wstring(kRemovalProperties) + (noRestart ? kSuppressRestart : L"");
    runlog::Log(L"removing patch " + patchCode + L" from " + record.productCode +
                L", properties: " + properties);
    std::uint32_t result = CallInstaller(budget, record.productCode, [&] {
        return platform::MsiRemovePatch(patchCode, record.productCode, properties);
    });
    // Said and done are checked apart: an installer that answers success and leaves the patch
    // in place (Wine's does) must not reach the administrator as a removal.
    if (IsInstallerSuccess(result) && IsPatchApplied(patchCode, record)) {
        runlog::Log(L"the installer answered " + std::to_wstring(result) +
                    L", yet the patch is still applied to " + record.productCode);
        result = kExitFailure;
    }
    ReportResult(result, messages::kRemoved, messages::kRemovalFailed);
    return result;
}

InstallResult RunUninstall(const InstallSettings& settings) {
    UseInstallerUi(settings.installerUi);
    RunTally tally;
    tally.removing = true;
    WaitBudget budget;
    RunHolds holds;

    const MachinePolicies machine = ReadMachinePolicies();
    LogMachinePolicies(machine);
    LogUnannouncedRestart(settings.noRestart);
    if (!HoldThePack(holds.lock, budget, tally)) {
        return Stop(holds, tally, messages::kRemovalFailed);
    }
    std::wstring patchCode;
    payload::LoadResString(messages::kPatchCode, patchCode, messages::kCatalogueCapacity);
    // The target list is the patch's own: read from a copy, which nothing needs afterwards.
    tally.ownWorkFailed = true;
    std::wstring targets;
    if (!holds.copy.Make()) {
        return Stop(holds, tally, messages::kRemovalFailed);
    }
    if (!payload::ReadPatchTargets(holds.copy.Path(), targets)) {
        runlog::LogFailure(L"reading the patch's target list", platform::LastError());
        return Stop(holds, tally, messages::kRemovalFailed);
    }
    const std::wstring copyPath = holds.copy.Path();
    holds.copy.Remove();
    tally.ownWorkFailed = false;

    const std::vector<ProductRecord> patched = PatchedProducts(patchCode, targets);
    const std::vector<ProductRecord> upgraded = UpgradedWithThePatch(patchCode);
    ReportUnremovable(upgraded, tally);
    if (patched.empty() && !upgraded.empty()) {
        holds.LetGo();
        return {true, ExitCodeFor(tally), ExitReasonFor(tally)};
    }
    if (patched.empty()) {
        holds.LetGo();
        messages::ShowMessage(messages::kNotInstalled);
        return {true, kExitSuccess, L"the patch is applied to no product: nothing to remove"};
    }
    // Only a run about to remove the patch meets the policies, and asks to close Corvath.
    if (!PoliciesAllowTheRun(machine, true, tally) || !WaitForHostProgramClosed(tally, budget)) {
        return Stop(holds, tally, messages::kRemovalFailed);
    }

    LendTemporaryFolder(copyPath);
    InstallerLog installerLog(settings.installerLogStem);
    for (std::size_t index = 0; index < patched.size(); ++index) {
        const ProductRecord& record = patched[index];
        messages::CurrentProductName() = record.productName;
        UseProductLanguage(record);
        installerLog.StartOnce();
        const std::uint32_t result =
            RemovePatchFromProduct(record, patchCode, settings.noRestart, budget);
        CountResult(tally, result);
        if (RestartStarted(result, patched, index + 1)) {
            break;
        }
    }
    holds.LetGo();
    return {true, ExitCodeFor(tally), ExitReasonFor(tally)};
}

} // namespace install
