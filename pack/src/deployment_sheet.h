// The sheet written beside every pack for the administrator who deploys it: UTF-8 with CR LF
// line ends (Notepad opens it right), the pack's identity, its command lines, exit codes,
// requirements, detection, logs and what users may see. A plain function of its inputs.
#pragma once

#include "msp/pack_detection.h"

#include <cstdint>
#include <optional>
#include <string>

namespace corvath::pack {

struct SheetFacts {
    std::string pack_file_name;              // "your-sp.exe"
    std::string title;                       // the patch-list title
    std::string sha256;                      // of the patch, 64 lower-case hex digits
    std::uint64_t patch_size = 0;            // bytes
    bool allows_removal = false;             // MsiPatchMetadata AllowRemoval=1
    std::optional<std::string> display_name; // MsiPatchMetadata DisplayName, UTF-8
    msp::PackDetection detection;
};

// Texts from outside (file name, title, display name) appear with control characters as spaces
// and bytes that are not UTF-8 as "?", so that none can break the sheet's lines.
std::string deployment_sheet(const SheetFacts& facts);

// "your-sp.exe" -> "your-sp": the pack's name less its last extension.
std::string pack_stem(const std::string& pack_file_name);

// The names of the files beside a pack, from its own: "your-sp.exe" -> "your-sp" + suffix.
inline constexpr const char* kSheetSuffix = ".deployment.txt";
inline constexpr const char* kDetectionFactsSuffix = ".detection.txt";
inline constexpr const char* kDetectionScriptSuffix = ".detection.ps1";
inline constexpr const char* kRequirementScriptSuffix = ".requirement.ps1";

} // namespace corvath::pack
