// The /uninstall job: takes this pack's patch off every installed target product that has it
// applied, so that an administrator can roll a pack back, and a deployment tool can run the
// pack's uninstall command line, without knowing which language edition a machine has.
#pragma once

#include "install/busy_waits.h"
#include "install/exit_code.h"
#include "install/product.h"
#include "install/run_settings.h"

#include <cstdint>
#include <string>

namespace install {

// Wait for another run of the pack → the patch's target list → the installed targets with the
// patch applied → wait for the host program → remove per product → done. Nothing to remove is
// success (0), so that the command can be repeated; a cancel at the guard is 1602; otherwise the
// installer's results, the first failure winning over 3010 and 1641. Messages about a product
// appear in its language.
InstallResult RunUninstall(const InstallSettings& settings = {});

// Has Windows Installer remove the patch `patchCode` from the product (REBOOTPROMPT=S, and
// REBOOT=ReallySuppress with `noRestart`), within `budget` as the installation does, and reports
// 318 or 319. A removal that Windows Installer answers as done while the patch stays applied is
// a failure (1603). Returns the result.
std::uint32_t RemovePatchFromProduct(const ProductRecord& record, const std::wstring& patchCode,
                                     bool noRestart, WaitBudget& budget);

} // namespace install
