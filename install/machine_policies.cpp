#include "install/machine_policies.h"

#include "messages/presenter.h"
#include "platform/machine_state.h"
#include "platform/system.h"
#include "runlog/run_log.h"

namespace install {
namespace {

constexpr wchar_t kPolicyKey[] = L"SOFTWARE\\Policies\\Microsoft\\Windows\\Installer";
constexpr wchar_t kInstallerService[] = L"msiserver";
constexpr std::uint32_t kServiceDisabled = 4; // SERVICE_DISABLED

// The policies that decide a patch's fate, in the order the log names them.
constexpr const wchar_t* kPolicyNames[] = {
    L"DisableMsi",         L"DisablePatch",      L"DisablePatchUninstall",
    L"DisableLUAPatching", L"MaxPatchCacheSize", L"DisableAutomaticApplicationShutdown",
};

// A restart the machine awaits, as Windows itself records it.
struct RestartSign {
    const wchar_t* key;
    const wchar_t* value; // nullptr: the key's presence is the sign
    const wchar_t* what;
};

constexpr RestartSign kRestartSigns[] = {
    {L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", L"PendingFileRenameOperations",
     L"files to replace at the next start (PendingFileRenameOperations)"},
    {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\RebootPending",
     nullptr, L"Windows servicing (Component Based Servicing\\RebootPending)"},
    {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update\\RebootRequired",
     nullptr, L"Windows Update (WindowsUpdate\\Auto Update\\RebootRequired)"},
};

std::optional<std::uint32_t> PolicyValue(const MachinePolicies& machine, std::wstring_view name) {
    for (const InstallerPolicy& policy : machine.policies) {
        if (name == policy.name) {
            return policy.value;
        }
    }
    return std::nullopt;
}

const wchar_t* StartTypeText(std::uint32_t startType) {
    switch (startType) {
    case 2:
        return L"automatic";
    case 3:
        return L"manual (started when needed, as installed)";
    case kServiceDisabled:
        return L"disabled";
    default:
        return L"of another type";
    }
}

// Refuses the run: the tally, the message's error code and the log.
bool Refuse(RunTally& tally, bool RunTally::*what, std::uint32_t code, const std::wstring& why) {
    tally.*what = true;
    platform::SetLastError(code);
    runlog::Log(why + L": the run ends with " + std::to_wstring(code) +
                    L", as Windows Installer would",
                runlog::Severity::Failure);
    return false;
}

} // namespace

MachinePolicies ReadMachinePolicies() {
    MachinePolicies machine;
    for (const wchar_t* name : kPolicyNames) {
        std::uint32_t value = 0;
        machine.policies.push_back({name, platform::MachineDword(kPolicyKey, name, value)
                                              ? std::optional(value)
                                              : std::nullopt});
    }
    std::uint32_t startType = 0;
    if (platform::ServiceStartType(kInstallerService, startType)) {
        machine.serviceStartType = startType;
    } else {
        // Kept now: the registry reads below may leave their own error.
        machine.serviceReadError = platform::LastError();
    }
    for (const RestartSign& sign : kRestartSigns) {
        if (sign.value == nullptr ? platform::MachineKeyExists(sign.key)
                                  : platform::MachineValueHasData(sign.key, sign.value)) {
            machine.pendingRestart.push_back(sign.what);
        }
    }
    return machine;
}

void LogMachinePolicies(const MachinePolicies& machine) {
    std::wstring policies;
    for (const InstallerPolicy& policy : machine.policies) {
        policies += (policies.empty() ? L"" : L", ") + std::wstring(policy.name) + L" " +
                    (policy.value ? std::to_wstring(*policy.value) : std::wstring(L"not set"));
    }
    runlog::Log(L"Windows Installer's policies (HKLM\\" + std::wstring(kPolicyKey) + L"): " +
                policies);
    runlog::Log(L"the Windows Installer service (msiserver) starts " +
                (machine.serviceStartType
                     ? std::wstring(StartTypeText(*machine.serviceStartType))
                     : L"in a way that cannot be read (" +
                           runlog::DescribeError(machine.serviceReadError) + L")"));
    std::wstring pending;
    for (const std::wstring& sign : machine.pendingRestart) {
        pending += (pending.empty() ? L"" : L"; ") + sign;
    }
    if (pending.empty()) {
        runlog::Log(L"no restart is pending");
    } else {
        runlog::Log(L"a restart is pending: " + pending, runlog::Severity::Warning);
    }
}

bool PoliciesAllowTheRun(const MachinePolicies& machine, bool removing, RunTally& tally) {
    if (machine.serviceStartType == kServiceDisabled) {
        return Refuse(tally, &RunTally::installerServiceDisabled, kExitInstallerServiceFailure,
                      L"the Windows Installer service is disabled, so nothing can be installed "
                      L"or removed");
    }
    const std::uint32_t refused =
        removing ? kExitRemovalRefusedByPolicy : kExitPatchRefusedByPolicy;
    if (PolicyValue(machine, L"DisableMsi") == 2u) {
        return Refuse(tally, &RunTally::refusedByPolicy, refused,
                      L"the policy DisableMsi 2 turns Windows Installer off for every product");
    }
    if (!removing && PolicyValue(machine, L"DisablePatch") == 1u) {
        return Refuse(tally, &RunTally::refusedByPolicy, refused,
                      L"the policy DisablePatch 1 forbids applying patches");
    }
    if (removing && PolicyValue(machine, L"DisablePatchUninstall") == 1u) {
        return Refuse(tally, &RunTally::refusedByPolicy, refused,
                      L"the policy DisablePatchUninstall 1 forbids removing patches");
    }
    return true;
}

void LogUnannouncedRestart(bool noRestart) {
    if (noRestart || (messages::BoxesSeen() && !messages::IsQuiet())) {
        return;
    }
    runlog::Log(L"without /norestart, and with nobody to ask, Windows Installer may restart this "
                L"computer without asking when the patch needs a restart (REBOOTPROMPT=S)",
                runlog::Severity::Warning);
}

} // namespace install
