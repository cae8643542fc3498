// The rules a pack's patch is held to, apart from reading it: each gives the line the build
// prints when the patch breaks it, or nothing. The texts are the ones release engineers know.
#pragma once

#include "msp/compound_file.h"
#include "msp/patch_metadata.h"

#include <cstdint>
#include <optional>
#include <string>

namespace corvath::msp {

// The package is one resource: its size is a 32-bit field, and the image that holds it, the
// program and its other resources with it, cannot reach 4 GiB (64 MiB is kept for the rest).
inline constexpr std::uint64_t kPackCarryLimit = 4227858432;
inline constexpr std::uint64_t kUntriedSize = 2147483648;        // above it: untried on Windows

std::optional<std::string> size_refusal(std::uint64_t size);
std::optional<std::string> size_warning(std::uint64_t size);

inline constexpr std::size_t kBracedGuidLength = 38; // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}

// The root's class id must be the patch class {000C1086-0000-0000-C000-000000000046}.
std::optional<std::string> class_id_refusal(const ClassId& root_class_id);

// Property 7: present, not empty, no empty entry, each entry a braced upper-case GUID.
std::optional<std::string> target_list_refusal(const std::string& targets);

// Property 9 begins with the patch code, a braced upper-case GUID.
std::optional<std::string> patch_code_refusal(const std::string& revision);
std::string patch_code_of(const std::string& revision);

// Not a fault (a vendor may ship such a patch on purpose), but every /uninstall is refused.
std::optional<std::string> removal_warning(bool allows_removal);

// A patch of a family that supersedes earlier patches, or one that targets original releases
// (MinorUpdateTargetRTM): Windows Installer may apply it to products other patches moved to
// versions the pack does not list. Not a fault: a note.
std::optional<std::string> family_note(const PatchMetadata& metadata);

} // namespace corvath::msp
