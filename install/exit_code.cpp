#include "install/exit_code.h"

namespace install {
namespace {

struct Rule {
    bool RunTally::*when;
    std::uint32_t code;
    const wchar_t* reason;
    const wchar_t* removalReason = nullptr; // the same, for /uninstall; null: the same words
    std::uint32_t removalCode = 0;          // the code for /uninstall; 0: the same code
};

// In order of precedence, after a failed application's own result.
constexpr Rule kRules[] = {
    {&RunTally::installerServiceDisabled, kExitInstallerServiceFailure,
     L"the Windows Installer service is disabled"},
    {&RunTally::refusedByPolicy, kExitPatchRefusedByPolicy,
     L"a Windows Installer policy forbids applying the patch",
     L"a Windows Installer policy forbids removing the patch", kExitRemovalRefusedByPolicy},
    {&RunTally::outOfTime, kExitAlreadyRunning,
     L"the 50-minute limit for waiting ran out: try again later"},
    {&RunTally::anotherRunKeptOn, kExitAlreadyRunning,
     L"another run of this service pack was still going when this one stopped waiting"},
    {&RunTally::noTargetInstalled, kExitPatchTargetMissing, L"no target product is installed"},
    {&RunTally::notApplicable, kExitPatchTargetMissing,
     L"a product is at a version the pack does not apply to"},
    {&RunTally::rebootInitiated, kExitRebootInitiated,
     L"the patch was applied; a restart was started",
     L"the patch was removed; a restart was started"},
    {&RunTally::rebootRequired, kExitRebootRequired, L"the patch was applied; a restart is needed",
     L"the patch was removed; a restart is needed"},
    {&RunTally::cancelled, kExitUserCancelled, L"the person asked to close Corvath pressed Cancel"},
    {&RunTally::unanswered, kExitAlreadyRunning,
     L"Corvath runs and nobody answered the request to close it, or nobody could be asked: try "
     L"again later"},
    {&RunTally::ownWorkFailed, kExitFailure, L"the pack's own work failed"},
};

const Rule* RuleFor(const RunTally& tally) {
    for (const Rule& rule : kRules) {
        if (tally.*rule.when) {
            return &rule;
        }
    }
    return nullptr;
}

} // namespace

std::vector<ExitCodeMeaning> ExitCodeMeanings() {
    std::vector<ExitCodeMeaning> meanings = {
        {kExitSuccess, L"done, or not necessary: the patch is already there (/uninstall: the "
                       L"patch was removed, or was applied nowhere)"},
        {kExitBadCommandLine, L"the command line is refused (the log names why); nothing is done"},
    };
    for (const Rule& rule : kRules) {
        meanings.push_back({rule.code, rule.reason});
        if (rule.removalCode != 0 || rule.removalReason != nullptr) {
            meanings.push_back({rule.removalCode != 0 ? rule.removalCode : rule.code,
                                rule.removalReason != nullptr ? rule.removalReason : rule.reason,
                                true});
        }
    }
    meanings.push_back({kExitRemovalUnsupported,
                        L"the patch cannot be removed: it does not allow removal, or it upgraded "
                        L"the product to another code",
                        true});
    meanings.push_back({0,
                        L"applying or removing the patch failed: the first product's installer "
                        L"result",
                        false, true});
    return meanings;
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

std::uint32_t ExitCodeFor(const RunTally& tally) {
    if (tally.firstFailedResult != 0) {
        return tally.firstFailedResult;
    }
    const Rule* rule = RuleFor(tally);
    if (rule == nullptr) {
        return kExitSuccess;
    }
    return tally.removing && rule->removalCode != 0 ? rule->removalCode : rule->code;
}

const wchar_t* ExitReasonFor(const RunTally& tally) {
    if (tally.firstFailedResult != 0) {
        if (tally.firstFailedResult == kExitAlreadyRunning) {
            return L"Windows Installer stayed busy with another installation: try again later";
        }
        return tally.removing ? L"removing the patch from a product failed: its installer's "
                                L"result, or 1603 where the patch stayed applied after a success"
                              : L"applying the patch to a product failed (its installer result)";
    }
    const Rule* rule = RuleFor(tally);
    if (rule == nullptr) {
        return L"done";
    }
    return tally.removing && rule->removalReason != nullptr ? rule->removalReason : rule->reason;
}

} // namespace install
