// The default run: carries the embedded patch to every installed target product.
#pragma once

#include "install/busy_waits.h"
#include "install/decision.h"
#include "install/exit_code.h"
#include "install/installer_log.h"
#include "install/product.h"
#include "install/run_settings.h"

#include <cstdint>
#include <string>
#include <vector>

namespace install {

// Wait for another run of the pack → extract → versions → targets → discover → decide every
// product → where a product is to be patched: the policies, then wait for the host program →
// act per product → summary. Nobody is asked, and no policy refuses, where nothing is to be done.
// Messages about a product appear in that product's language. The temporary copy of the patch is
// held from its extraction until the last product is done and deleted on every way out, before the
// last message is shown.
InstallResult RunInstall(const InstallSettings& settings = {});

enum class ProductsOutcome {
    Done,            // every product was decided; some were not yet at the target version
    AllUpToDate,     // every product was at the target version: one 306 follows
    StoppedUpToDate, // a product's list named the target version first: 306, the run ends
};

// The run's copy of the patch and the patch's code (catalogue entry 702).
struct PatchAtHand {
    std::wstring path;
    std::wstring code;
};

// Decides every product in order, silently: Windows Installer's patch state on it, its
// versions and, where the patch would be applied or refused, Windows Installer's own verdict.
std::vector<ProductDecision> DecideProducts(const std::vector<ProductRecord>& products,
                                            const PatchAtHand& patch);

// Whether any decision applies the patch: only then are policies and the person asked.
bool AnyToApply(const std::vector<ProductDecision>& decisions);

// Acts on each product's decision in order, counting into `tally`, and shows each product's own
// messages (301, 300, 308) in its language. The closing 306 of the two up-to-date outcomes is the
// caller's.
ProductsOutcome ActOnProducts(std::vector<ProductRecord>& products,
                              const std::vector<ProductDecision>& decisions,
                              const PatchAtHand& patch, RunTally& tally, bool noRestart,
                              InstallerLog& installerLog, WaitBudget& budget);

// Decides, then acts: the per-product part of the run, with no question and no policy between.
ProductsOutcome InstallProducts(std::vector<ProductRecord>& products, const PatchAtHand& patch,
                                RunTally& tally, bool noRestart, InstallerLog& installerLog,
                                WaitBudget& budget);

// Has Windows Installer apply the patch at `patchPath` to the product, with the UI level set
// just around the call, and reports 301 or 300. Returns the installer's result. `noRestart`
// adds REBOOT=ReallySuppress to the command line. While another installation is under way the
// call waits, and a refusal as busy (1618) is tried again, within `budget`; a budget spent
// before the installer was free gives 1618 without a call.
std::uint32_t ApplyPatchToProduct(ProductRecord& record, const std::wstring& patchPath,
                                  bool noRestart, WaitBudget& budget);

} // namespace install
