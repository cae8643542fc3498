#include "install/installer_verdict.h"

#include "install/exit_code.h"
#include "install/patch_state.h"
#include "platform/msi.h"
#include "runlog/run_log.h"

namespace install {
namespace {

bool IsNotInContext(std::uint32_t result) {
    return result == platform::kErrorUnknownProduct || result == platform::kErrorBadConfiguration;
}

struct Answer {
    InstallersVerdict verdict = InstallersVerdict::None;
    platform::PatchVerdict patch;
    std::uint32_t error = platform::kErrorUnknownProduct; // why none was given
    unsigned context = 0;
};

InstallersVerdict Classify(const platform::PatchVerdict& patch) {
    if (patch.status != platform::kErrorSuccess) {
        return InstallersVerdict::DoesNotApply;
    }
    return patch.order == platform::kNotInSequence ? InstallersVerdict::SupersededOrObsoleted
                                                   : InstallersVerdict::Applies;
}

Answer AskWindowsInstaller(const ProductRecord& record, const std::wstring& patchPath) {
    Answer answer;
    for (const platform::InstallContext context : kSearchedContexts) {
        platform::PatchVerdict patch;
        const std::uint32_t result =
            platform::MsiPatchVerdictIn(context, record.productCode, patchPath, patch);
        if (result == platform::kErrorSuccess) {
            return {Classify(patch), patch, 0, static_cast<unsigned>(context)};
        }
        if (!IsNotInContext(result)) {
            answer.error = result;
        }
    }
    return answer;
}

std::wstring Said(const Answer& answer) {
    switch (answer.verdict) {
    case InstallersVerdict::Applies:
        return L"it applies";
    case InstallersVerdict::SupersededOrObsoleted:
        return L"it is superseded or obsoleted (status 0, no place in the sequence)";
    default:
        return L"it does not apply (" + std::to_wstring(answer.patch.status) +
               (answer.patch.status == kExitPatchTargetMissing
                    ? L", the patch's target is not this product at this version)"
                    : L")");
    }
}

} // namespace

InstallersVerdict LogInstallersVerdict(const ProductRecord& record, const std::wstring& patchPath,
                                       ProductDecision decision) {
    const Answer answer = AskWindowsInstaller(record, patchPath);
    if (answer.verdict == InstallersVerdict::None) {
        runlog::Log(L"Windows Installer gave no verdict on the patch for " + record.productCode +
                    L": " + runlog::DescribeError(answer.error));
        return answer.verdict;
    }
    const std::wstring said = Said(answer);
    runlog::Log(L"Windows Installer's verdict on the patch for " + record.productCode +
                L" (MsiDeterminePatchSequenceW, context " + std::to_wstring(answer.context) +
                L"): " + said + L"; the pack's decision: " + ToText(decision));
    const bool packApplies = decision == ProductDecision::Apply;
    if (!packApplies && answer.verdict == InstallersVerdict::SupersededOrObsoleted) {
        // A later patch of the family has moved the product on: current, not a refusal.
        runlog::Log(L"product " + record.productCode +
                    L" counts as current: Windows Installer has this patch superseded or "
                    L"obsoleted there");
        return answer.verdict;
    }
    if (packApplies != (answer.verdict == InstallersVerdict::Applies)) {
        runlog::Log(std::wstring(kDisagreement) + L" on " + record.productCode + L": the pack " +
                        (packApplies ? L"applies the patch" : L"does not apply the patch") +
                        L", Windows Installer says " + said + L"; the pack's decision stands",
                    runlog::Severity::Warning);
    }
    return answer.verdict;
}

} // namespace install
