#include "install/installer_calls.h"

#include "install/exit_code.h"
#include "messages/presenter.h"
#include "platform/files.h"
#include "platform/msi.h"
#include "platform/sync.h"
#include "platform/system.h"
#include "runlog/run_log.h"

#include <algorithm>

namespace install {
namespace {

constexpr std::uint32_t kUiBasicHideCancel = 0x23; // INSTALLUILEVEL_BASIC | HIDECANCEL
// INSTALLUILEVEL_BASIC | HIDECANCEL | PROGRESSONLY, as msiexec /passive
constexpr std::uint32_t kUiProgressOnly = 0x63;
constexpr std::uint32_t kUiNone = 2; // INSTALLUILEVEL_NONE

InstallerUi g_installerUi = InstallerUi::Basic;

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
    if (!messages::BoxesSeen()) {
        return kUiNone;
    }
    switch (g_installerUi) {
    case InstallerUi::Passive:
        return kUiProgressOnly;
    case InstallerUi::None:
        return kUiNone;
    case InstallerUi::Basic:
        break;
    }
    return kUiBasicHideCancel;
}

const wchar_t* UiLevelText(std::uint32_t level) {
    switch (level) {
    case kUiNone:
        return messages::BoxesSeen()
                   ? L"Windows Installer shows nothing (interface level 2): /quiet"
                   : L"Windows Installer shows nothing (interface level 2): nobody could see it";
    case kUiProgressOnly:
        return L"Windows Installer shows its progress only, without Cancel or any dialog "
               L"(level 0x63): /passive";
    default:
        return L"Windows Installer shows its basic interface without Cancel (level 0x23)";
    }
}

std::uint32_t TimedCall(const std::function<std::uint32_t()>& call) {
    const std::uint32_t level = UiLevel();
    runlog::Log(UiLevelText(level));
    const std::uint64_t started = platform::MonotonicMicroseconds();
    const std::uint32_t previousLevel = platform::MsiSetUiLevel(level);
    const std::uint32_t result = call();
    platform::MsiSetUiLevel(previousLevel);
    const std::wstring took = Milliseconds(platform::MonotonicMicroseconds() - started);
    if (IsInstallerSuccess(result)) {
        runlog::Log(L"installer result " + std::to_wstring(result) + L" after " + took +
                    (result == kExitRebootRequired    ? L": done, a restart is needed"
                     : result == kExitRebootInitiated ? L": done, a restart was started"
                                                      : L": done"));
    } else {
        runlog::LogFailure(L"the installer's work (result " + std::to_wstring(result) + L" after " +
                               took + L")",
                           result);
    }
    return result;
}

} // namespace

void UseInstallerUi(InstallerUi ui) {
    g_installerUi = ui;
}

bool IsInstallerSuccess(std::uint32_t result) {
    return result == 0 || result == kExitRebootInitiated || result == kExitRebootRequired;
}

std::uint32_t CallInstaller(WaitBudget& budget, const std::wstring& productCode,
                            const std::function<std::uint32_t()>& call) {
    std::uint32_t result = kExitAlreadyRunning;
    for (int attempt = 1; attempt <= kMostInstallerCalls; ++attempt) {
        if (!WaitForInstallerIdle(budget)) {
            runlog::Log(L"nothing is done to " + productCode +
                        L": Windows Installer stayed busy with another installation");
            break;
        }
        result = TimedCall(call);
        if (result != kExitAlreadyRunning || budget.LeftMilliseconds() == 0) {
            break;
        }
        const std::uint32_t pause =
            std::min(kBusyRetryPauseMilliseconds, budget.LeftMilliseconds());
        runlog::Log(L"another installation is in progress: trying again in " +
                    std::to_wstring(pause) + L" ms");
        platform::Pause(pause);
    }
    return result;
}

void ReportResult(std::uint32_t result, messages::MessageId done, messages::MessageId failed) {
    if (IsInstallerSuccess(result)) {
        messages::ShowMessage(done);
    } else {
        platform::SetLastError(result);
        messages::ShowMessage(failed);
    }
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
    runlog::Log(L"the temporary folder " + runlog::Quoted(temp) +
                L" is not there: Windows Installer works in " + runlog::Quoted(folder));
}

bool RestartStarted(std::uint32_t result, const std::vector<ProductRecord>& products,
                    std::size_t next) {
    if (result != kExitRebootInitiated) {
        return false;
    }
    std::wstring left;
    for (std::size_t index = next; index < products.size(); ++index) {
        left += (left.empty() ? L"" : L", ") + products[index].productCode;
    }
    runlog::Log(L"Windows Installer started a restart: the run ends here" +
                (left.empty() ? std::wstring(L"; no product was left")
                              : L"; left for a run after the restart: " + left));
    return true;
}

} // namespace install
