#include "install/run_steps.h"

#include "install/version.h"
#include "messages/presenter.h"
#include "messages/run_log.h"
#include "payload/resource_store.h"
#include "payload/temp_name.h"
#include "platform/msi.h"
#include "platform/process.h"
#include "platform/sync.h"
#include "platform/system.h"

#include <algorithm>

namespace install {
namespace {

constexpr std::uint32_t kUiBasicHideCancel = 0x23; // INSTALLUILEVEL_BASIC | HIDECANCEL
constexpr std::uint32_t kUiNone = 2;               // INSTALLUILEVEL_NONE
constexpr std::int32_t kPrimaryLanguageMask = 0x3FF;

// Pauses between tries of an installation that Windows Installer refused as busy (1618), so
// that a busy installer that holds no mutex we can see is not asked again and again at once.
constexpr std::uint32_t kBusyRetryPauseMilliseconds = 5000;
// A second bound on those tries, should the clock not move.
constexpr int kMostInstallerCalls = 1 + kBusyWaitMilliseconds / kBusyRetryPauseMilliseconds;

std::wstring Milliseconds(std::uint64_t microseconds) {
    return std::to_wstring(microseconds / 1000) + L"." + std::to_wstring(microseconds / 100 % 10) +
           L" ms";
}

// Windows Installer's basic interface still asks about errors and sources in dialogs: where
// nobody can see them, they would wait for ever, so there it shows nothing at all.
std::uint32_t UiLevel() {
    return messages::BoxesSeen() ? kUiBasicHideCancel : kUiNone;
}

std::uint32_t TimedCall(const std::function<std::uint32_t()>& call) {
    const std::uint32_t level = UiLevel();
    messages::Log(level == kUiNone
                      ? L"Windows Installer shows nothing (interface level 2): nobody could see it"
                      : L"Windows Installer shows its basic interface without Cancel (level 0x23)");
    const std::uint64_t started = platform::MonotonicMicroseconds();
    const std::uint32_t previousLevel = platform::MsiSetUiLevel(level);
    const std::uint32_t result = call();
    platform::MsiSetUiLevel(previousLevel);
    const std::wstring took = Milliseconds(platform::MonotonicMicroseconds() - started);
    if (IsInstallerSuccess(result)) {
        messages::Log(L"installer result " + std::to_wstring(result) + L" after " + took +
                      (result == kExitRebootRequired    ? L": done, a restart is needed"
                       : result == kExitRebootInitiated ? L": done, a restart was started"
                                                        : L": done"));
    } else {
        messages::LogFailure(L"the installer's work (result " + std::to_wstring(result) +
                                 L" after " + took + L")",
                             result);
    }
    return result;
}

} // namespace

bool HoldThePack(RunTally& tally, RunHolds& holds, WaitBudget& budget) {
    std::wstring patchCode;
    payload::LoadResString(messages::kPatchCode, patchCode, messages::kCatalogueCapacity);
    if (holds.lock.Acquire(patchCode, budget)) {
        return true;
    }
    tally.anotherRunKeptOn = true;
    platform::SetLastError(kExitAlreadyRunning);
    return false;
}

InstallResult Stop(RunTally& tally, RunHolds& holds, messages::MessageId message) {
    holds.LetGo();
    messages::ShowMessage(message);
    return {false, ExitCodeFor(tally), ExitReasonFor(tally)};
}

void UseProductLanguage(const ProductRecord& record) {
    const std::int32_t language = ParseDecimal(record.language);
    if (!platform::SetThreadLocaleId(static_cast<std::uint32_t>(language))) {
        return;
    }
    if ((language & kPrimaryLanguageMask) == 0) {
        payload::ResetMessageLanguage();
        platform::SetThreadUiLanguage(0);
    } else {
        payload::SetMessageLanguage(static_cast<platform::LanguageId>(language & 0xFFFF));
        platform::SetThreadUiLanguage(static_cast<std::uint16_t>(language & 0xFFFF));
    }
}

void UseUserLanguage() {
    platform::SetThreadLocaleId(platform::kLocaleUserDefault);
    platform::SetThreadUiLanguage(0);
    payload::ResetMessageLanguage();
}

void LendTemporaryFolder(const std::wstring& copyPath) {
    // Without one, Wine's cannot even open the product's database (1627).
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

bool IsInstallerSuccess(std::uint32_t result) {
    return result == 0 || result == kExitRebootInitiated || result == kExitRebootRequired;
}

std::uint32_t CallInstaller(WaitBudget& budget, const std::wstring& productCode,
                            const std::function<std::uint32_t()>& call) {
    std::uint32_t result = kExitAlreadyRunning;
    for (int attempt = 1; attempt <= kMostInstallerCalls; ++attempt) {
        if (!WaitForInstallerIdle(budget)) {
            messages::Log(L"nothing is done to " + productCode +
                          L": Windows Installer stayed busy with another installation");
            break;
        }
        result = TimedCall(call);
        if (result != kExitAlreadyRunning || budget.LeftMilliseconds() == 0) {
            break;
        }
        const std::uint32_t pause =
            std::min(kBusyRetryPauseMilliseconds, budget.LeftMilliseconds());
        messages::Log(L"another installation is in progress: trying again in " +
                      std::to_wstring(pause) + L" ms");
        platform::Pause(pause);
    }
    return result;
}

void CountResult(RunTally& tally, std::uint32_t result) {
    if (result == kExitRebootInitiated) {
        tally.rebootInitiated = true;
    } else if (result == kExitRebootRequired) {
        tally.rebootRequired = true;
    } else if (result != 0 && tally.firstFailedResult == 0) {
        tally.firstFailedResult = result;
    }
}

void LeaveForRestart(const std::vector<ProductRecord>& products, std::size_t next) {
    std::wstring left;
    for (std::size_t index = next; index < products.size(); ++index) {
        left += (left.empty() ? L"" : L", ") + products[index].productCode;
    }
    messages::Log(L"Windows Installer started a restart: the run ends here" +
                  (left.empty() ? std::wstring(L"; no product was left")
                                : L"; left for a run after the restart: " + left));
}

} // namespace install
