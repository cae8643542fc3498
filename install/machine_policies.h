// What the machine's administrator has decided about Windows Installer, and whether the machine
// waits for a restart: read and logged at the start of a run that changes products, so that a
// run refused by policy ends at once, with the code Windows Installer would give, instead of
// after an installer call (or, on a fleet, a failure nobody can explain from the log).
#pragma once

#include "install/exit_code.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace install {

// A value of HKLM\SOFTWARE\Policies\Microsoft\Windows\Installer, when the policy is set.
struct InstallerPolicy {
    const wchar_t* name;
    std::optional<std::uint32_t> value;
};

struct MachinePolicies {
    std::vector<InstallerPolicy> policies;         // DisableMsi, DisablePatch, ... in a fixed order
    std::optional<std::uint32_t> serviceStartType; // the Windows Installer service's
    std::uint32_t serviceReadError = 0;            // why that could not be read
    std::vector<std::wstring> pendingRestart;      // the signs of a restart the machine awaits
};

MachinePolicies ReadMachinePolicies();

// Logs the policies, the service's start type and the pending restart, one line each.
void LogMachinePolicies(const MachinePolicies& machine);

// Whether the policies let the run do what it is about to do (apply the patch, or remove it with
// `removing`). False, with the tally, the thread's last error and the log saying why: 1643 for a
// patch refused by policy (DisableMsi 2, DisablePatch 1), 1649 for a removal refused by policy
// (DisableMsi 2, DisablePatchUninstall 1), 1601 when the Windows Installer service is disabled.
// Asked only once the run knows it has a product to patch, or a patch to remove.
bool PoliciesAllowTheRun(const MachinePolicies& machine, bool removing, RunTally& tally);

// Where nobody answers a box (quiet, or a station nobody can see) and without /norestart,
// Windows Installer may restart the machine without asking when the patch needs it: the log says
// so at the start of such a run.
void LogUnannouncedRestart(bool noRestart);

} // namespace install
