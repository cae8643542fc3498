#include "install/exit_code.h"

namespace install {
namespace {

struct Rule {
    bool RunTally::*when;
    std::uint32_t code;
};

// In order of precedence, after a failed application's own result.
constexpr Rule kRules[] = {
    {&RunTally::noTargetInstalled, kExitPatchTargetMissing},
    {&RunTally::notApplicable, kExitPatchTargetMissing},
    {&RunTally::rebootInitiated, kExitRebootInitiated},
    {&RunTally::rebootRequired, kExitRebootRequired},
    {&RunTally::cancelled, kExitUserCancelled},
    {&RunTally::ownWorkFailed, kExitFailure},
};

} // namespace

std::uint32_t ExitCodeFor(const RunTally& tally) {
    if (tally.firstFailedResult != 0) {
        return tally.firstFailedResult;
    }
    for (const Rule& rule : kRules) {
        if (tally.*rule.when) {
            return rule.code;
        }
    }
    return kExitSuccess;
}

} // namespace install
