#include "install/run_install.h"

#include "install/busy_waits.h"
#include "install/decision.h"
#include "install/discovery.h"
#include "install/exit_code.h"
#include "install/host_guard.h"
#include "install/version.h"
#include "messages/format.h"
#include "messages/presenter.h"
#include "messages/run_log.h"
#include "payload/patch_copy.h"
#include "payload/patch_summary.h"
#include "payload/resource_store.h"
#include "payload/temp_name.h"
#include "platform/files.h"
#include "platform/msi.h"
#include "platform/process.h"
#include "platform/sync.h"
#include "platform/system.h"

#include <algorithm>

namespace install {
namespace {

constexpr wchar_t kCommandLineTemplate[] = L"PATCH=\"%s\" REBOOTPROMPT=S FILESINUSETEXT=\"%s\"";
// Added by /norestart: a restart the patch needs is reported (3010), never performed.
constexpr wchar_t kSuppressRestart[] = L" REBOOT=ReallySuppress";
constexpr std::size_t kCommandLineCapacity = 1024;
constexpr std::uint32_t kUiBasicHideCancel = 0x23; // INSTALLUILEVEL_BASIC | HIDECANCEL
constexpr std::int32_t kPrimaryLanguageMask = 0x3FF;

// Pauses between tries of an installation that Windows Installer refused as busy (1618), so
// that a busy installer that holds no mutex we can see is not asked again and again at once.
constexpr std::uint32_t kBusyRetryPauseMilliseconds = 5000;
// A second bound on those tries, should the clock not move.
constexpr int kMostInstallerCalls = 1 + kBusyWaitMilliseconds / kBusyRetryPauseMilliseconds;

// What a run holds until its last message: the pack's mutex and the copy of the patch.
struct RunHolds {
    PackRunLock lock;
    payload::PatchCopy copy;

    // Before the last box: a box can stay up for hours, nothing reads the copy again, and
    // another run of the pack need not wait for somebody to answer this one.
    void LetGo() {
        copy.Remove();
        lock.Release();
    }
};

InstallResult Stop(RunTally& tally, RunHolds& holds, messages::MessageId message) {
    holds.LetGo();
    messages::ShowMessage(message);
    return {false, ExitCodeFor(tally), ExitReasonFor(tally)};
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
    messages::Log(L"the temporary folder " + messages::Quoted(temp) +
                  L" is not there: Windows Installer works in " + messages::Quoted(folder));
}

std::wstring Milliseconds(std::uint64_t microseconds) {
    return std::to_wstring(microseconds / 1000) + L"." + std::to_wstring(microseconds / 100 % 10) +
           L" ms";
}

// The facts of the embedded patch an administrator compares with the release's.
void LogPatch(const payload::PatchCopy& copy) {
    std::wstring digest;
    payload::LoadResString(messages::kPatchDigest, digest, messages::kCatalogueCapacity);
    std::wstring code;
    payload::ReadPatchCode(copy.Path(), code);
    messages::Log(
        L"embedded patch: " +
        std::to_wstring(payload::ResourceSize(payload::FindResourceEntry(L"MSP", L"IDR_MSP"))) +
        L" bytes, SHA-256 " + digest + L", patch code " + code);
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

InstallerLog::InstallerLog(std::wstring stem) : stem_(std::move(stem)) {}

void InstallerLog::StartOnce() {
    if (started_ || stem_.empty()) {
        return;
    }
    started_ = true;
    // The elevated installer appends to whatever the name leads to: the file is made here, new
    // (never through a link that holds the name), and held until the run ends.
    std::wstring path;
    platform::OpenResult result = platform::OpenResult::AlreadyExists;
    for (int attempt = 1;
         attempt <= payload::kNumberedNameAttempts && result == platform::OpenResult::AlreadyExists;
         ++attempt) {
        path = payload::NumberedName(stem_, attempt, L".log");
        hold_ = platform::CreateFileForAnotherWriter(path, result);
    }
    if (!hold_.IsOpen()) {
        messages::LogFailure(L"making Windows Installer's log " + messages::Quoted(path),
                             platform::LastError());
        return;
    }
    const std::uint32_t enabled = platform::MsiEnableVerboseLog(path);
    if (enabled != platform::kErrorSuccess) {
        messages::LogFailure(L"starting Windows Installer's log " + messages::Quoted(path),
                             enabled);
        return;
    }
    messages::Log(L"Windows Installer's verbose log: " + messages::Quoted(path));
}

std::uint32_t CallInstaller(const ProductRecord& record) {
    const std::uint64_t started = platform::MonotonicMicroseconds();
    const std::uint32_t previousLevel = platform::MsiSetUiLevel(kUiBasicHideCancel);
    const std::uint32_t result =
        platform::MsiApplyToProduct(record.productCode, record.commandLine);
    platform::MsiSetUiLevel(previousLevel);
    const std::wstring took = Milliseconds(platform::MonotonicMicroseconds() - started);
    if (result == 0 || result == kExitRebootInitiated || result == kExitRebootRequired) {
        messages::Log(L"installer result " + std::to_wstring(result) + L" after " + took +
                      (result == kExitRebootRequired    ? L": done, a restart is needed"
                       : result == kExitRebootInitiated ? L": done, a restart was started"
                                                        : L": done"));
    } else {
        messages::LogFailure(L"applying the patch (installer result " + std::to_wstring(result) +
                                 L" after " + took + L")",
                             result);
    }
    return result;
}

std::uint32_t ApplyPatchToProduct(ProductRecord& record, const std::wstring& patchPath,
                                  bool noRestart, WaitBudget& budget) {
    std::wstring filesInUse;
    payload::LoadResString(messages::kFilesInUseText, filesInUse, messages::kCatalogueCapacity);
    record.commandLine = messages::FormatTemplate(
        noRestart ? std::wstring(kCommandLineTemplate) + kSuppressRestart : kCommandLineTemplate,
        {messages::FormatArgument::Text(patchPath), messages::FormatArgument::Text(filesInUse)},
        kCommandLineCapacity);
    messages::Log(L"installer command line for " + record.productCode + L": " + record.commandLine);

    // Another installation under way is waited for, and a refusal as busy tried again after the
    // same wait, within the run's budget.
    std::uint32_t result = kExitAlreadyRunning;
    for (int call = 1; call <= kMostInstallerCalls; ++call) {
        if (!WaitForInstallerIdle(budget)) {
            messages::Log(L"the patch is not applied to " + record.productCode +
                          L": Windows Installer stayed busy with another installation");
            break;
        }
        result = CallInstaller(record);
        if (result != kExitAlreadyRunning || budget.LeftMilliseconds() == 0) {
            break;
        }
        const std::uint32_t pause =
            std::min(kBusyRetryPauseMilliseconds, budget.LeftMilliseconds());
        messages::Log(L"another installation is in progress: trying again in " +
                      std::to_wstring(pause) + L" ms");
        platform::Pause(pause);
    }

    if (result == 0 || result == kExitRebootInitiated || result == kExitRebootRequired) {
        messages::ShowMessage(messages::kInstallSucceeded);
    } else {
        platform::SetLastError(result);
        messages::ShowMessage(messages::kInstallFailed);
    }
    return result;
}

ProductsOutcome InstallProducts(std::vector<ProductRecord>& products, const std::wstring& patchPath,
                                RunTally& tally, const InstallSettings& settings,
                                InstallerLog& installerLog, WaitBudget& budget) {
    std::size_t upToDate = 0;
    for (ProductRecord& record : products) {
        messages::CurrentProductName() = record.productName;
        UseProductLanguage(record);
        const VersionQuad installed = ParseVersion(record.installedVersion);
        const VersionQuad target = ParseVersion(record.targetVersion);
        const ProductDecision decision =
            DecideProduct(installed, target, record.applicableVersions);
        messages::Log(L"product " + record.productCode + L": installed " +
                      messages::Quoted(record.installedVersion) + L", target " +
                      record.targetVersion + L", applies to " +
                      messages::Quoted(record.applicableVersions) + L", language " +
                      messages::Quoted(record.language) + L": " + ToText(decision) + L", " +
                      ReasonText(decision));
        switch (decision) {
        case ProductDecision::UpToDate:
            ++upToDate;
            break;
        case ProductDecision::Apply:
            installerLog.StartOnce();
            Count(tally, ApplyPatchToProduct(record, patchPath, settings.noRestart, budget));
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

InstallResult RunInstall(const InstallSettings& settings) {
    RunTally tally;
    WaitBudget budget;
    RunHolds holds;

    std::wstring patchCode;
    payload::LoadResString(messages::kPatchCode, patchCode, messages::kCatalogueCapacity);
    if (!holds.lock.Acquire(patchCode, budget)) {
        tally.anotherRunKeptOn = true;
        platform::SetLastError(kExitAlreadyRunning);
        return Stop(tally, holds, messages::kInstallFailed);
    }

    tally.ownWorkFailed = true; // until the pack's own steps are through
    payload::PatchCopy& copy = holds.copy;
    if (!copy.Make()) {
        return Stop(tally, holds, messages::kInstallFailed);
    }
    LogPatch(copy);
    ProductRecord prototype;
    if (payload::LoadResString(messages::kTargetVersion, prototype.targetVersion,
                               messages::kCatalogueCapacity) == 0 ||
        payload::LoadResString(messages::kApplicableVersions, prototype.applicableVersions,
                               messages::kCatalogueCapacity) == 0) {
        messages::Log(L"the pack carries no target version (700) or no applicable versions (900)");
        return Stop(tally, holds, messages::kInstallFailed);
    }
    std::wstring targets;
    if (!payload::ReadPatchTargets(copy.Path(), targets)) {
        messages::LogFailure(L"reading the patch's target list", platform::LastError());
        return Stop(tally, holds, messages::kInstallFailed);
    }
    tally.ownWorkFailed = false;

    DiscoverProducts(prototype, targets);
    std::vector<ProductRecord>& products = ProductList();
    messages::Log(L"target products installed: " + std::to_wstring(products.size()));
    if (products.empty()) {
        tally.noTargetInstalled = true;
        return Stop(tally, holds, messages::kNoTargetProduct);
    }
    if (!WaitForHostProgramClosed()) {
        // The box's own last error (0, or 1400 without a desktop) would read as a meaningless
        // code in the failure message: name the cancel instead, as the exit code does.
        tally.cancelled = true;
        platform::SetLastError(kExitUserCancelled);
        return Stop(tally, holds, messages::kInstallFailed);
    }

    LendTemporaryFolder(copy.Path());
    InstallerLog installerLog(settings.installerLogStem);
    const ProductsOutcome outcome =
        InstallProducts(products, copy.Path(), tally, settings, installerLog, budget);
    switch (outcome) {
    case ProductsOutcome::StoppedUpToDate:
        // In the language of the product that stopped the run, as the thread is still set.
        return Stop(tally, holds, messages::kNotNecessary);
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
