#include "msp/pack_detection.h"

#include "text_lists.h"

namespace corvath::msp {
namespace {

constexpr const char* kLineEnd = "\r\n";

std::string windows_installer_rule(const PackDetection& detection) {
    const std::string upgraded = detection.upgraded_product_codes.empty()
                                     ? ""
                                     : ", or a product under a code the patch upgrades to (" +
                                           joined(detection.upgraded_product_codes, ";") +
                                           ") at version " + detection.target_version + " or later";
    if (!detection.by_version)
        return "the patch " + detection.patch_code +
               " applied to any target product (its versions cannot tell: the patch leaves the "
               "version as it is)" +
               upgraded;
    return "any target product at version " + detection.target_version +
           " or later, or the patch " + detection.patch_code + " applied to any target product" +
           upgraded;
}

// A script's text, a line at a time, CR LF after each.
struct ScriptLines {
    std::string text;
    void operator()(const std::string& line) { text += line + kLineEnd; }
};

void codes(ScriptLines& line, const std::string& name, const std::vector<std::string>& list) {
    line("$" + name + " = @(");
    for (const std::string& code : list)
        if (!code.empty())
            line("    '" + code + "'");
    line(")");
}

// What both scripts know and ask alike: the pack's codes and versions, and the product's version.
void script_inputs(ScriptLines& line, const PackDetection& detection) {
    line("# It asks Windows Installer through its automation interface "
         "(WindowsInstaller.Installer:");
    line("# PatchesEx, ProductInfo), which has no type library PowerShell can read: hence");
    line("# InvokeMember, called where its result is used. A function would not do: PowerShell");
    line("# enumerates a collection a function returns, so the caller never gets the collection.");
    line("$patchCode = '" + detection.patch_code + "'");
    line("$targetVersion = " +
         (detection.by_version ? "'" + detection.target_version + "'" : std::string("$null")));
    line("$upgradeTargetVersion = '" + detection.target_version + "'");
    codes(line, "productCodes", detection.product_codes);
    codes(line, "upgradedCodes", detection.upgraded_product_codes);
    line("$installer = New-Object -ComObject WindowsInstaller.Installer");
    line("$get = [System.Reflection.BindingFlags]::GetProperty");
    line("# Four parts, as the pack compares them: '1.1.1' is 1.1.1.0. Returns one Version.");
    line("function ConvertTo-Version([string]$text) {");
    line("    $parts = @($text.Split('.') | ForEach-Object { [int]$_ })");
    line("    while ($parts.Count -lt 4) { $parts += 0 }");
    line("    [System.Version]::new($parts[0], $parts[1], $parts[2], $parts[3])");
    line("}");
    line("# The product's installed version, or $null when it is not installed. Returns one "
         "Version.");
    line("function Get-ProductVersion([string]$productCode) {");
    line("    try {");
    line("        $installed = [System.__ComObject].InvokeMember('ProductInfo', $get, $null, "
         "$installer,");
    line("            @($productCode, 'VersionString'))");
    line("        return ConvertTo-Version $installed");
    line("    } catch {");
    line("        return $null");
    line("    }");
    line("}");
    line("# True when the product is installed at that version or later. Returns one Boolean.");
    line("function Test-ProductVersion([string]$productCode, [string]$atLeast) {");
    line("    $installed = Get-ProductVersion $productCode");
    line("    return ($null -ne $installed) -and ($installed -ge (ConvertTo-Version $atLeast))");
    line("}");
}

// In the loop over $productCodes: `found` (lines indented 16) when Windows Installer has the
// patch applied, superseded or obsoleted on $productCode.
void patch_registered(ScriptLines& line, const std::vector<std::string>& found) {
    line("    try {");
    line("        # Every context (7) of the machine and this account; applied, superseded and");
    line("        # obsoleted patches (7). The collection is kept as it is: assigned from the");
    line("        # method call, never passed through a function or the pipeline.");
    line("        $patches = [System.__ComObject].InvokeMember('PatchesEx', $get, $null, "
         "$installer,");
    line("            @($productCode, '', 7, 7))");
    line("        $count = [System.__ComObject].InvokeMember('Count', $get, $null, $patches, "
         "$null)");
    line("        # The documents do not say where Item's index starts: 0 to Count covers both.");
    line("        for ($i = 0; $i -le $count; $i++) {");
    line("            try {");
    line("                $patch = [System.__ComObject].InvokeMember('Item', $get, $null, "
         "$patches, @($i))");
    line("                $code = [System.__ComObject].InvokeMember('PatchCode', $get, $null, "
         "$patch, $null)");
    line("            } catch {");
    line("                continue");
    line("            }");
    line("            if ($code -eq $patchCode) {");
    for (const std::string& text : found)
        line(text);
    line("            }");
    line("        }");
    line("    } catch {");
    line("        # Not installed, or nothing to enumerate: not found by its patch.");
    line("    }");
}

// `found` (lines indented 8) when a product under a code the patch upgrades to is at the target
// version or later.
void upgraded_at_target(ScriptLines& line, const std::vector<std::string>& found) {
    line("foreach ($productCode in $upgradedCodes) {");
    line("    if (Test-ProductVersion $productCode $upgradeTargetVersion) {");
    for (const std::string& text : found)
        line(text);
    line("    }");
    line("}");
}

} // namespace

std::string detection_facts(const PackDetection& detection) {
    std::string text;
    const auto line = [&text](const std::string& key, const std::string& value) {
        text += key + "=" + value + kLineEnd;
    };
    text += "; How to detect this service pack on a machine (written by its build)";
    text += kLineEnd;
    line("PatchCode", detection.patch_code);
    line("TargetVersion", detection.target_version);
    line("ApplicableVersions", detection.applicable_versions);
    line("ProductCodes", joined(detection.product_codes, ";"));
    line("UpgradedProductCodes", joined(detection.upgraded_product_codes, ";"));
    line("DetectionByVersion", detection.by_version ? "yes" : "no");
    line("Detected", windows_installer_rule(detection));
    return text;
}

std::vector<std::string> detection_summary(const PackDetection& detection) {
    return {
        "detection: patch code " + detection.patch_code + ", target version " +
            detection.target_version + ", " + std::to_string(detection.product_codes.size()) +
            (detection.product_codes.size() == 1 ? " product code" : " product codes"),
        std::string("detection by version: ") +
            (detection.by_version ? "yes" : "no, detect the patch code") + "; detected when " +
            windows_installer_rule(detection),
    };
}

std::string intune_detection_script(const PackDetection& detection) {
    ScriptLines line;
    line("# Intune custom detection script for the service pack that brings version " +
         detection.target_version + ",");
    line("# patch " + detection.patch_code + ". Written by the packer; the same pack gives the");
    line("# same script. Detected (a line on standard output, exit code 0) when Windows");
    line("# Installer has the patch applied, superseded or obsoleted on any of the pack's target");
    if (detection.by_version) {
        line("# products, or has one of them at the target version or later; otherwise it writes");
        line("# nothing.");
    } else {
        line("# products; otherwise it writes nothing. The patch leaves the version as it is, so "
             "the");
        line("# version cannot tell.");
    }
    if (!detection.upgraded_product_codes.empty())
        line("# A product under a code the patch upgrades to, at the target version or later, has "
             "it too.");
    script_inputs(line, detection);
    line("foreach ($productCode in $productCodes) {");
    patch_registered(line, {"                Write-Output \"Detected: patch $patchCode on "
                            "$productCode\"",
                            "                exit 0"});
    line("    if ($targetVersion -and (Test-ProductVersion $productCode $targetVersion)) {");
    line("        Write-Output \"Detected: $productCode at version $targetVersion or later\"");
    line("        exit 0");
    line("    }");
    line("}");
    upgraded_at_target(line, {"        Write-Output \"Detected: $productCode at version "
                              "$upgradeTargetVersion or later\"",
                              "        exit 0"});
    line("exit 0");
    return line.text;
}

std::string intune_requirement_script(const PackDetection& detection) {
    ScriptLines line;
    line("# Intune requirement script for the service pack that brings version " +
         detection.target_version + ",");
    line("# patch " + detection.patch_code + ". Written by the packer; the same pack gives the");
    line("# same script. It writes True when a target product is installed at a version the");
    if (detection.by_version)
        line("# pack applies to or at its target version or later, or has the patch registered");
    else
        line("# pack applies to, or has the patch registered");
    line("# (applied, superseded or obsoleted), or when a product under a code the patch "
         "upgrades");
    line(
        "# to is at the target version or later; False otherwise. Exit code 0 either way, so that");
    line("# machines without the product see the app as not applicable, not as failed.");
    line("# Intune: output data type Boolean, operator Equals, value Yes; run as a 32-bit process");
    line("# on 64-bit clients: No; enforce script signature check: No; run with the logged-on");
    line("# credentials: No.");
    script_inputs(line, detection);
    codes(line, "applicableVersions", split_list(detection.applicable_versions, ','));
    line("foreach ($productCode in $productCodes) {");
    patch_registered(line, {"                Write-Output $true", "                exit 0"});
    line("    $installed = Get-ProductVersion $productCode");
    line("    if ($null -eq $installed) {");
    line("        continue");
    line("    }");
    line("    foreach ($version in $applicableVersions) {");
    line("        if ($version -and $installed -eq (ConvertTo-Version $version)) {");
    line("            Write-Output $true");
    line("            exit 0");
    line("        }");
    line("    }");
    line("    if ($targetVersion -and $installed -ge (ConvertTo-Version $targetVersion)) {");
    line("        Write-Output $true");
    line("        exit 0");
    line("    }");
    line("}");
    upgraded_at_target(line, {"        Write-Output $true", "        exit 0"});
    line("Write-Output $false");
    line("exit 0");
    return line.text;
}

} // namespace corvath::msp
