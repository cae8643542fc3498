#include "install/run_install.h"

#include "install/busy_waits.h"
#include "install/decision.h"
#include "install/discovery.h"
#include "install/exit_code.h"
#include "install/host_guard.h"
#include "install/installer_calls.h"
#include "install/installer_verdict.h"
#include "install/machine_policies.h"
#include "install/patch_state.h"
#include "install/product_language.h"
#include "install/run_holds.h"
#include "install/version.h"
#include "messages/format.h"
#include "messages/presenter.h"
#include "payload/patch_copy.h"
#include "payload/patch_summary.h"
#include "payload/resource_store.h"
#include "payload/temp_name.h"
#include "payload/upgraded_codes.h"
#include "platform/files.h"
#include "platform/msi.h"
#include "platform/process.h"
#include "platform/sync.h"
#include "platform/system.h"
#include "runlog/run_log.h"

#include <algorithm>

namespace install {
namespace {

constexpr wchar_t kCommandLineTemplate[] = L"PATCH=\"%s\" REBOOTPROMPT=S FILESINUSETEXT=\"%s\"";
// Added by /norestart: a restart the patch needs is reported (3010), never performed.
constexpr wchar_t kSuppressRestart[] = L" REBOOT=ReallySuppress";
constexpr std::size_t kCommandLineCapacity = 1024;

// The facts of the embedded patch an administrator compares with the release's, as the build
// took them from the patch.
void LogPatch(const std::wstring& code) {
    std::wstring digest;
    payload::LoadResString(messages::kPatchDigest, digest, messages::kCatalogueCapacity);
    runlog::Log(L"embedded patch: " +
                std::to_wstring(payload::ResourceSize(payload::FindEmbeddedPackage())) +
                L" bytes, SHA-256 " + digest + L", patch code " + code);
}

// The pack's own work before any product: the copy of the patch, the versions the pack brings
// and applies to (into `prototype`), and the patch's target list. False, with the tally's own
// work failed, when any of them cannot be had.
bool PrepareTheRun(payload::PatchCopy& copy, RunTally& tally, ProductRecord& prototype,
                   std::wstring& targets, std::wstring& patchCode) {
    tally.ownWorkFailed = true; // until every step is through
    if (!copy.Make()) {
        return false;
    }
    payload::LoadResString(messages::kPatchCode, patchCode, messages::kCatalogueCapacity);
    LogPatch(patchCode);
    if (payload::LoadResString(messages::kTargetVersion, prototype.targetVersion,
                               messages::kCatalogueCapacity) == 0 ||
        payload::LoadResString(messages::kApplicableVersions, prototype.applicableVersions,
                               messages::kCatalogueCapacity) == 0) {
        runlog::Log(L"the pack carries no target version (700) or no applicable versions (900)");
        return false;
    }
    if (!payload::ReadPatchTargets(copy.Path(), targets)) {
        runlog::LogFailure(L"reading the patch's target list", platform::LastError());
        return false;
    }
    tally.ownWorkFailed = false;
    return true;
}

} // namespace

std::uint32_t ApplyPatchToProduct(ProductRecord& record, const std::wstring& patchPath,
                                  bool noRestart, WaitBudget& budget) {
    std::wstring filesInUse;
    payload::LoadResString(messages::kFilesInUseText, filesInUse, messages::kCatalogueCapacity);
    record.commandLine = messages::FormatTemplate(
        noRestart ? std::wstring(kCommandLineTemplate) + kSuppressRestart : kCommandLineTemplate,
        {messages::FormatArgument::Text(patchPath), messages::FormatArgument::Text(filesInUse)},
        kCommandLineCapacity);
    runlog::Log(L"installer command line for " + record.productCode + L": " + record.commandLine);

    const std::uint32_t result = CallInstaller(budget, record.productCode, [&record] {
        return platform::MsiApplyToProduct(record.productCode, record.commandLine);
    });
    ReportResult(result, messages::kInstallSucceeded, messages::kInstallFailed);
    return result;
}

std::vector<ProductDecision> DecideProducts(const std::vector<ProductRecord>& products,
                                            const PatchAtHand& patch) {
    std::vector<ProductDecision> decisions;
    for (const ProductRecord& record : products) {
        const PatchRegistration registration = QueryPatchState(patch.code, record.productCode);
        ProductDecision decision =
            record.underUpgradedCode
                ? ProductDecision::Upgraded
                : DecideProduct(registration.state, ParseVersion(record.installedVersion),
                                ParseVersion(record.targetVersion), record.applicableVersions);
        runlog::Log(L"product " + record.productCode + L": installed " +
                    runlog::Quoted(record.installedVersion) + L", target " + record.targetVersion +
                    L", applies to " + runlog::Quoted(record.applicableVersions) + L", language " +
                    runlog::Quoted(record.language) + L", patch " + ToText(registration.state) +
                    (registration.stateText.empty()
                         ? std::wstring()
                         : L" (state " + runlog::Quoted(registration.stateText) + L")") +
                    L": " + ToText(decision) + L", " + ReasonText(decision));
        if (decision == ProductDecision::Apply || decision == ProductDecision::NotApplicable) {
            const InstallersVerdict verdict = LogInstallersVerdict(record, patch.path, decision);
            if (decision == ProductDecision::NotApplicable &&
                verdict == InstallersVerdict::SupersededOrObsoleted) {
                decision = ProductDecision::Superseded;
            }
        }
        decisions.push_back(decision);
    }
    return decisions;
}

bool AnyToApply(const std::vector<ProductDecision>& decisions) {
    return std::find(decisions.begin(), decisions.end(), ProductDecision::Apply) != decisions.end();
}

ProductsOutcome ActOnProducts(std::vector<ProductRecord>& products,
                              const std::vector<ProductDecision>& decisions,
                              const PatchAtHand& patch, RunTally& tally, bool noRestart,
                              InstallerLog& installerLog, WaitBudget& budget) {
    std::size_t upToDate = 0;
    for (std::size_t index = 0; index < products.size() && index < decisions.size(); ++index) {
        ProductRecord& record = products[index];
        messages::CurrentProductName() = record.productName;
        UseProductLanguage(record);
        switch (decisions[index]) {
        case ProductDecision::UpToDate:
        case ProductDecision::AlreadyPatched:
        case ProductDecision::Upgraded:
        case ProductDecision::Superseded:
            ++upToDate;
            break;
        case ProductDecision::Apply: {
            installerLog.StartOnce();
            const std::uint32_t result = ApplyPatchToProduct(record, patch.path, noRestart, budget);
            CountResult(tally, result);
            if (RestartStarted(result, products, index + 1)) {
                return ProductsOutcome::Done;
            }
            break;
        }
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

ProductsOutcome InstallProducts(std::vector<ProductRecord>& products, const PatchAtHand& patch,
                                RunTally& tally, bool noRestart, InstallerLog& installerLog,
                                WaitBudget& budget) {
    return ActOnProducts(products, DecideProducts(products, patch), patch, tally, noRestart,
                         installerLog, budget);
}

InstallResult RunInstall(const InstallSettings& settings) {
    UseInstallerUi(settings.installerUi);
    RunTally tally;
    WaitBudget budget;
    RunHolds holds;

    const MachinePolicies machine = ReadMachinePolicies();
    LogMachinePolicies(machine);
    LogUnannouncedRestart(settings.noRestart);
    if (!HoldThePack(holds.lock, budget, tally)) {
        return Stop(holds, tally, messages::kInstallFailed);
    }

    ProductRecord prototype;
    std::wstring targets;
    PatchAtHand patch;
    if (!PrepareTheRun(holds.copy, tally, prototype, targets, patch.code)) {
        return Stop(holds, tally, messages::kInstallFailed);
    }

    DiscoverProducts(prototype, targets);
    DiscoverUpgradedProducts(prototype, payload::UpgradedProductCodes());
    std::vector<ProductRecord>& products = ProductList();
    runlog::Log(L"target products installed: " + std::to_wstring(products.size()));
    if (products.empty()) {
        tally.noTargetInstalled = true;
        return Stop(holds, tally, messages::kNoTargetProduct);
    }

    patch.path = holds.copy.Path();
    LendTemporaryFolder(patch.path);
    // Decide first: a policy, or the question to close Corvath, matters only to a run that is
    // about to patch a product.
    const std::vector<ProductDecision> decisions = DecideProducts(products, patch);
    if (AnyToApply(decisions)) {
        if (!PoliciesAllowTheRun(machine, false, tally) ||
            !WaitForHostProgramClosed(tally, budget)) {
            return Stop(holds, tally, messages::kInstallFailed);
        }
    } else {
        runlog::Log(L"no product is to be patched: nobody is asked to close Corvath");
    }

    InstallerLog installerLog(settings.installerLogStem);
    const ProductsOutcome outcome =
        ActOnProducts(products, decisions, patch, tally, settings.noRestart, installerLog, budget);
    switch (outcome) {
    case ProductsOutcome::StoppedUpToDate:
        // In the language of the product that stopped the run, as the thread is still set.
        return Stop(holds, tally, messages::kNotNecessary);
    case ProductsOutcome::AllUpToDate:
        holds.LetGo();
        UseUserLanguage();
        messages::ShowMessage(messages::kNotNecessary);
        break;
    case ProductsOutcome::Done:
        holds.LetGo();
        break;
    }
    return {true, ExitCodeFor(tally), ExitReasonFor(tally)};
}

} // namespace install
