#include "msp/pack_detection.h"

#include "text_lists.h"

namespace corvath::msp {
namespace {

constexpr const char* kLineEnd = "\r\n";

std::string windows_installer_rule(const PackDetection& detection) {
    if (!detection.by_version)
        return "the patch " + detection.patch_code +
               " applied to any target product (its versions cannot tell: the patch leaves the "
               "version as it is)";
    return "any target product at version " + detection.target_version +
           " or later, or the patch " + detection.patch_code + " applied to any target product";
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
    line("DetectionByVersion", detection.by_version ? "yes" : "no");
    line("Detected", windows_installer_rule(detection));
    return text;
}

std::vector<std::string> detection_summary(const PackDetection& detection) {
    return {
        "detection: patch code " + detection.patch_code + ", target version " +
            detection.target_version + ", " + std::to_string(detection.product_codes.size()) +
            " product codes",
        std::string("detection by version: ") +
            (detection.by_version ? "yes" : "no, detect the patch code") + "; detected when " +
            windows_installer_rule(detection),
    };
}

std::string intune_detection_script(const PackDetection& detection) {
    std::string script;
    const auto line = [&script](const std::string& text) { script += text + kLineEnd; };
    line("# Intune custom detection script for the service pack that brings version " +
         detection.target_version + ",");
    line("# patch " + detection.patch_code + ". Written by the pack's build; the same pack");
    line("# gives the same script. Detected (a line on standard output, exit code 0) when Windows");
    line("# Installer has the patch applied, superseded or obsoleted on any of the pack's target");
    if (detection.by_version) {
        line("# products, or has one of them at the target version or later; otherwise it writes");
        line("# nothing.");
    } else {
        line("# products; otherwise it writes nothing. The patch leaves the version as it is, so "
             "the");
        line("# version cannot tell.");
    }
    line("# It asks Windows Installer through its automation interface "
         "(WindowsInstaller.Installer:");
    line("# PatchesEx, ProductInfo), which has no type library PowerShell can read: hence");
    line("# InvokeMember.");
    line("$patchCode = '" + detection.patch_code + "'");
    line("$targetVersion = " +
         (detection.by_version ? "'" + detection.target_version + "'" : std::string("$null")));
    line("$productCodes = @(");
    for (const std::string& code : detection.product_codes)
        line("    '" + code + "'");
    line(")");
    line("$installer = New-Object -ComObject WindowsInstaller.Installer");
    line("$get = [System.Reflection.BindingFlags]::GetProperty");
    line("function Get-Property($object, $name, $arguments) {");
    line("    [System.__ComObject].InvokeMember($name, $get, $null, $object, $arguments)");
    line("}");
    line("# Four parts, as the pack compares them: '1.1.1' is 1.1.1.0.");
    line("function ConvertTo-Version([string]$text) {");
    line("    $parts = @($text.Split('.') | ForEach-Object { [int]$_ })");
    line("    while ($parts.Count -lt 4) { $parts += 0 }");
    line("    New-Object System.Version($parts[0], $parts[1], $parts[2], $parts[3])");
    line("}");
    line("foreach ($productCode in $productCodes) {");
    line("    try {");
    line("        # Every context (7) of the machine and this account; applied, superseded and");
    line("        # obsoleted patches (7).");
    line("        $patches = Get-Property $installer 'PatchesEx' @($productCode, '', 7, 7)");
    line("        $count = Get-Property $patches 'Count' $null");
    line("        for ($i = 0; $i -lt $count; $i++) {");
    line("            $patch = Get-Property $patches 'Item' @($i)");
    line("            if ((Get-Property $patch 'PatchCode' $null) -eq $patchCode) {");
    line("                Write-Output \"Detected: patch $patchCode on $productCode\"");
    line("                exit 0");
    line("            }");
    line("        }");
    line("    } catch {");
    line("        # Not installed, or nothing to enumerate: not detected by its patch.");
    line("    }");
    line("    if ($targetVersion) {");
    line("        try {");
    line("            $installed = Get-Property $installer 'ProductInfo' @($productCode, "
         "'VersionString')");
    line(
        "            if ((ConvertTo-Version $installed) -ge (ConvertTo-Version $targetVersion)) {");
    line("                Write-Output \"Detected: $productCode at $installed\"");
    line("                exit 0");
    line("            }");
    line("        } catch {");
    line("            # Not installed: not detected on this product.");
    line("        }");
    line("    }");
    line("}");
    line("exit 0");
    return script;
}

} // namespace corvath::msp
