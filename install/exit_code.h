// The process exit code, in the terms deployment tools read: Windows Installer's result codes.
#pragma once

#include <cstdint>
#include <vector>

namespace install {

constexpr std::uint32_t kExitSuccess = 0;
constexpr std::uint32_t kExitInstallerServiceFailure = 1601; // ERROR_INSTALL_SERVICE_FAILURE
constexpr std::uint32_t kExitUserCancelled = 1602;           // ERROR_INSTALL_USEREXIT
constexpr std::uint32_t kExitFailure = 1603;                 // ERROR_INSTALL_FAILURE
constexpr std::uint32_t kExitAlreadyRunning = 1618;          // ERROR_INSTALL_ALREADY_RUNNING
constexpr std::uint32_t kExitBadCommandLine = 1639;          // ERROR_INVALID_COMMAND_LINE
constexpr std::uint32_t kExitRebootInitiated = 1641;         // ERROR_SUCCESS_REBOOT_INITIATED
constexpr std::uint32_t kExitPatchTargetMissing = 1642;      // ERROR_PATCH_TARGET_NOT_FOUND
constexpr std::uint32_t kExitPatchRefusedByPolicy = 1643;    // ERROR_PATCH_PACKAGE_REJECTED
constexpr std::uint32_t kExitRemovalUnsupported = 1646;      // ERROR_PATCH_REMOVAL_UNSUPPORTED
constexpr std::uint32_t kExitRemovalRefusedByPolicy = 1649;  // ERROR_PATCH_REMOVAL_DISALLOWED
constexpr std::uint32_t kExitRebootRequired = 3010;          // ERROR_SUCCESS_REBOOT_REQUIRED

// What happened in one run, as far as the exit code cares.
struct RunTally {
    std::uint32_t firstFailedResult = 0; // the first product's installer failure, 0 if none
    bool ownWorkFailed = false;          // extraction, entries 700/900, the summary, a job switch
    bool cancelled = false;              // the running-program dialog: the person pressed Cancel
    bool unanswered = false; // nobody answered it in time, nobody could be asked, or it could not
                             // be shown: try again later
    bool outOfTime = false;  // the run's bound ran out while it waited
    bool noTargetInstalled = false;
    bool notApplicable = false;    // some product got 308
    bool rebootInitiated = false;  // an application returned 1641
    bool rebootRequired = false;   // an application returned 3010
    bool anotherRunKeptOn = false; // another run of the pack outlasted this one's waiting
    bool removing = false;         // the run removes the patch (/uninstall): its reasons say so
    bool refusedByPolicy = false;  // a Windows Installer policy forbids what the run would do
    bool installerServiceDisabled = false; // the Windows Installer service cannot be started
};

// What a run that installs or removes the patch reports to whoever started the process.
struct InstallResult {
    bool completed = false;      // the run reached its normal end
    std::uint32_t exitCode = 0;  // what the process reports to whoever started it
    const wchar_t* reason = L""; // why that exit code, for the run log
};

// Adds one installer result to the tally: a restart code, or the run's first failure.
void CountResult(RunTally& tally, std::uint32_t result);

// A failed application wins over everything, so that no later success hides it; then another
// run that kept on past the wait, a missing or mismatched target, the reboot codes, a cancel,
// the pack's own failures; 0 otherwise.
std::uint32_t ExitCodeFor(const RunTally& tally);
// Why ExitCodeFor gives what it gives, in a few words for the run log.
const wchar_t* ExitReasonFor(const RunTally& tally);

// One code a run can end with, and why, as the run log says it.
struct ExitCodeMeaning {
    std::uint32_t code = 0;
    const wchar_t* meaning = L"";
    bool removalOnly = false;     // only /uninstall ends so
    bool installerResult = false; // any code: a product's installer result, passed on
};

// Every way a run ends, for those who deploy the pack: success, the rules of ExitCodeFor in their
// order (a code may come from several), a refused command line, a patch that cannot be removed,
// and last a product's installer result.
std::vector<ExitCodeMeaning> ExitCodeMeanings();

} // namespace install
