// What the pack's build says about the patch it is to carry, in the order the build has always
// checked: the file and its size, the compound file and its root class, summary properties 7
// and 9, and then whether the patch can be removed.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvath::msp {

struct PackCheck {
    std::vector<std::string> warnings;  // printed, the build goes on
    std::optional<std::string> refusal; // the rule the patch breaks: the build stops
    std::string patch_code;             // when not refused
    bool allows_removal = false;
};

PackCheck check_pack_patch(const std::filesystem::path& path);

} // namespace corvath::msp
