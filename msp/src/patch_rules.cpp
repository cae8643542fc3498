#include "msp/patch_rules.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace corvath::msp {
namespace {

// {000C1086-0000-0000-C000-000000000046}, the root class of every patch package, as stored.
constexpr ClassId kPatchClassId = {0x86, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// Windows Installer compares product and patch codes as text: only upper case matches.
bool is_braced_guid(std::string_view text) {
    if (text.size() != kBracedGuidLength || text.front() != '{' || text.back() != '}')
        return false;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        const char c = text[i];
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

// Only 7-bit printable text: a product code or patch code never holds anything else.
std::optional<std::string> character_refusal(std::uint32_t property, const std::string& text) {
    const bool printable =
        std::all_of(text.begin(), text.end(), [](char c) { return c >= 32 && c <= 126; });
    if (printable)
        return std::nullopt;
    return "summary property " + std::to_string(property) +
           " holds a character no product or patch code has";
}

} // namespace

std::optional<std::string> size_refusal(std::uint64_t size) {
    if (size <= kPackCarryLimit)
        return std::nullopt;
    return std::to_string(size) + " bytes is more than a pack can carry: at most " +
           std::to_string(kPackCarryLimit) +
           " bytes (4 GiB less 64 MiB for the program), as a Windows image and a resource's "
           "size stop at 4 GiB";
}

std::optional<std::string> size_warning(std::uint64_t size) {
    if (size <= kUntriedSize)
        return std::nullopt;
    return std::to_string(size) +
           " bytes, more than 2 GiB: packs of that size are untried on Windows";
}

std::optional<std::string> class_id_refusal(const ClassId& root_class_id) {
    if (root_class_id == kPatchClassId)
        return std::nullopt;
    return "not a patch: its root class id is not the patch class "
           "{000C1086-0000-0000-C000-000000000046}";
}

std::optional<std::string> target_list_refusal(const std::string& targets) {
    if (auto refusal = character_refusal(7, targets))
        return refusal;
    if (targets.empty())
        return "summary property 7, the target product codes, is missing or empty";
    if (targets.front() == ';' || targets.back() == ';' || targets.find(";;") != std::string::npos)
        return "summary property 7 has an empty entry (\";\" at an end or twice in a row)";
    for (std::size_t start = 0; start <= targets.size();) {
        const std::size_t end = std::min(targets.find(';', start), targets.size());
        const std::string code = targets.substr(start, end - start);
        if (!is_braced_guid(code))
            return "summary property 7 entry \"" + code +
                   "\" is not a product code: a braced upper-case GUID";
        start = end + 1;
    }
    return std::nullopt;
}

std::optional<std::string> patch_code_refusal(const std::string& revision) {
    if (auto refusal = character_refusal(9, revision))
        return refusal;
    if (is_braced_guid(std::string_view(revision).substr(0, kBracedGuidLength)))
        return std::nullopt;
    return "summary property 9 does not begin with the patch code, a braced upper-case GUID";
}

std::string patch_code_of(const std::string& revision) {
    return revision.substr(0, kBracedGuidLength);
}

std::optional<std::string> removal_warning(bool allows_removal) {
    if (allows_removal)
        return std::nullopt;
    return "no MsiPatchMetadata row AllowRemoval=1, so Windows Installer will not remove this "
           "patch: /uninstall will answer 1646 on every machine";
}

std::optional<std::string> family_note(const PatchMetadata& metadata) {
    std::vector<std::string> reasons;
    if (metadata.supersedes_earlier)
        reasons.push_back("its MsiPatchSequence supersedes earlier patches of its family");
    if (metadata.minor_update_target_rtm)
        reasons.push_back("its MsiPatchMetadata has MinorUpdateTargetRTM=1");
    if (reasons.empty())
        return std::nullopt;
    std::string text = "Windows Installer may apply this patch to products that other patches of "
                       "its family moved on (" +
                       reasons.front();
    for (std::size_t i = 1; i < reasons.size(); ++i)
        text += "; " + reasons[i];
    return text + "): those are at versions the pack does not list; list them in "
                  "--applicable-versions if the pack should patch them";
}

} // namespace corvath::msp
