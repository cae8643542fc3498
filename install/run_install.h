// The default run: carries the embedded patch to every installed target product.
#pragma once

#include "install/exit_code.h"
#include "install/product.h"

#include <cstdint>
#include <string>
#include <vector>

namespace install {

struct InstallResult {
    bool completed = false;     // the run reached its normal end
    std::uint32_t exitCode = 0; // what the process reports to whoever started it
};

// Extract → versions → targets → discover → wait for the host program → decide and apply per
// product → summary. Messages about a product appear in that product's language. The temporary
// copy of the patch is deleted only at the normal end.
InstallResult RunInstall();

// The per-product part of the run: decides and acts for each product in order, counting into
// `tally`. False when a product's decision ended the run early (306 in its language).
bool InstallProducts(std::vector<ProductRecord>& products, const std::wstring& patchPath,
                     RunTally& tally);

// Has Windows Installer apply the patch at `patchPath` to the product, with the UI level set
// just around the call, and reports 301 or 300. Returns the installer's result.
std::uint32_t ApplyPatchToProduct(ProductRecord& record, const std::wstring& patchPath);

} // namespace install
