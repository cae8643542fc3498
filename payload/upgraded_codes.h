// The product codes a major-upgrade patch's transforms move products to, as the pack's build read
// them from the patch. Windows Installer lists a patch's targets by their old codes only; a
// product it has upgraded is found again under these.
#pragma once

#include <string>
#include <vector>

namespace payload {

// Resource UPGRADED_CODES (RCDATA): UTF-16 braced codes separated by ";", ending in a NUL. Empty
// when the patch changes no product code, or the pack carries no such resource.
std::vector<std::wstring> UpgradedProductCodes();

} // namespace payload
