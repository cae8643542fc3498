// What the installation knows of one target product, and the list of them.
#pragma once

#include <string>
#include <vector>

namespace install {

struct ProductRecord {
    std::wstring productCode;        // as the patch's target list spells it
    std::wstring targetVersion;      // the version the pack brings (catalogue entry 700)
    std::wstring productName;        // installer property ProductName
    std::wstring language;           // installer property Language, a decimal language id
    std::wstring commandLine;        // what Windows Installer was given for this product
    std::wstring applicableVersions; // catalogue entry 900: versions, each followed by ","
    std::wstring installedVersion;   // installer property VersionString
    // Found under a product code the patch's transforms upgrade to (a major-upgrade patch), at
    // the target version or later: such a product is current.
    bool underUpgradedCode = false;
};

// The products of this run, in the order of the patch's target list.
std::vector<ProductRecord>& ProductList();

} // namespace install
