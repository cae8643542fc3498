// What a deployment tool needs to detect that a pack has done its work on a machine, written by
// the build beside the pack: the facts, a custom detection script for Intune, and a requirement
// script that tells the machines the pack applies to. Both are plain
// functions of their inputs, so that the same pack gives the same text.
#pragma once

#include <string>
#include <vector>

namespace corvath::msp {

struct PackDetection {
    std::vector<std::string> product_codes; // the patch's target list, in its order
    std::string patch_code;
    std::string target_version;      // four parts
    std::string applicable_versions; // "8.1.0.4,"
    bool by_version = true;          // a product at the target version has the patch
    // The codes a major-upgrade patch changes products to: a product under one of them at the
    // target version or later has the patch's changes.
    std::vector<std::string> upgraded_product_codes;
};

// The facts as KEY=value lines (CR LF), for the release engineer and for scripts.
std::string detection_facts(const PackDetection& detection);

// The same in a few lines the packer prints.
std::vector<std::string> detection_summary(const PackDetection& detection);

// A PowerShell script for an Intune (or ConfigMgr) custom detection rule: it writes one line and
// exits 0 when Windows Installer has the patch applied (or superseded, or obsoleted) on any target
// product, or, for a pack detected by version, has one at the target version or later; it writes
// nothing otherwise. It asks through Windows Installer's automation interface.
std::string intune_detection_script(const PackDetection& detection);

// A PowerShell script for an Intune Win32 app's requirement rule (output Boolean, Equals, Yes): it
// writes True when a target product is installed at a version the pack applies to (or, for a
// pack detected by version, at the target version or later) or has the patch registered, or a
// product under an upgraded code is at the target version or later; False otherwise. Exit 0
// either way: a machine without the product sees the app as not applicable.
std::string intune_requirement_script(const PackDetection& detection);

} // namespace corvath::msp
