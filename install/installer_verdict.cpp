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

struct Verdict {
    bool given = false;
    bool applies = false;
    std::uint32_t status = 0; // the patch's status when given
    std::uint32_t error = 0;  // why none was given
    unsigned context = 0;
};

Verdict AskWindowsInstaller(const ProductRecord& record, const std::wstring& patchPath) {
    Verdict verdict;
    verdict.error = platform::kErrorUnknownProduct;
    for (const platform::InstallContext context : kSearchedContexts) {
        std::uint32_t status = 0;
        const std::uint32_t result =
            platform::MsiPatchVerdictIn(context, record.productCode, patchPath, status);
        if (result == platform::kErrorSuccess) {
            verdict = {true, status == platform::kErrorSuccess, status, 0,
                       static_cast<unsigned>(context)};
            return verdict;
        }
        if (!IsNotInContext(result)) {
            verdict.error = result;
        }
    }
    return verdict;
}

} // namespace

void LogInstallersVerdict(const ProductRecord& record, const std::wstring& patchPath,
                          ProductDecision decision) {
    const Verdict verdict = AskWindowsInstaller(record, patchPath);
    if (!verdict.given) {
        runlog::Log(L"Windows Installer gave no verdict on the patch for " + record.productCode +
                    L": " + runlog::DescribeError(verdict.error));
        return;
    }
    const std::wstring said =
        verdict.applies ? std::wstring(L"it applies")
                        : L"it does not apply (" + std::to_wstring(verdict.status) +
                              (verdict.status == kExitPatchTargetMissing
                                   ? L", the patch's target is not this product at this version)"
                                   : L")");
    runlog::Log(L"Windows Installer's verdict on the patch for " + record.productCode +
                L" (MsiDeterminePatchSequenceW, context " + std::to_wstring(verdict.context) +
                L"): " + said + L"; the pack's decision: " + ToText(decision));
    const bool packApplies = decision == ProductDecision::Apply;
    if (packApplies != verdict.applies) {
        runlog::Log(std::wstring(kDisagreement) + L" on " + record.productCode + L": the pack " +
                        (packApplies ? L"applies the patch" : L"does not apply the patch") +
                        L", Windows Installer says " + said + L"; the pack's decision stands",
                    runlog::Severity::Warning);
    }
}

} // namespace install
