// Finds which of the patch's target products are installed.
#pragma once

#include "install/product.h"

#include <string>

namespace install {

// Appends to the product list a copy of `prototype` for each code of `targetText` (";"-separated)
// that Windows Installer reports installed, with its version, name and language. Codes are
// taken as they stand; an empty entry ends the walk.
void DiscoverProducts(const ProductRecord& prototype, const std::wstring& targetText);

// Installed means the default state (5) or advertised (1).
bool IsProductInstalled(const std::wstring& productCode);

// One installer property of a product, at most 1023 characters; empty when it cannot be read.
std::wstring ReadProductProperty(const std::wstring& productCode, const wchar_t* propertyName);

} // namespace install
