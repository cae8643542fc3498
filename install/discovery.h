// Finds which of the patch's target products are installed.
#pragma once

#include "install/product.h"

#include <string>
#include <vector>

namespace install {

// Appends to the product list a copy of `prototype` for each code of `targetText` (";"-separated)
// that Windows Installer reports installed, with its version, name and language. Codes are
// taken as they stand; an empty entry ends the walk.
void DiscoverProducts(const ProductRecord& prototype, const std::wstring& targetText);

// A major-upgrade patch moves products to other codes. Appends a copy of `prototype` for each
// of `upgradedCodes` installed at the prototype's target version or later and not yet listed,
// marked as found under an upgraded code; one below the target is not a target, and the log
// says so.
void DiscoverUpgradedProducts(const ProductRecord& prototype,
                              const std::vector<std::wstring>& upgradedCodes);

// Installed means the default state (5) or advertised (1).
bool IsProductInstalled(const std::wstring& productCode);

// One installer property of a product, at most 1023 characters; empty when it cannot be read.
std::wstring ReadProductProperty(const std::wstring& productCode, const wchar_t* propertyName);

} // namespace install
