#include "msp/pack_check.h"

#include "msp/compound_file.h"
#include "msp/patch_metadata.h"
#include "msp/patch_rules.h"
#include "msp/patch_summary.h"
#include "msp/summary_information.h"
#include "msp/transform_versions.h"
#include "text_lists.h"

namespace corvath::msp {
namespace {

// A refused patch has no code: the build must never embed it.
PackCheck refused(PackCheck check, std::string rule) {
    check.refusal = std::move(rule);
    check.patch_code.clear();
    return check;
}

} // namespace

PackCheck check_pack_patch(const std::filesystem::path& path, const VersionOptions& options) {
    PackCheck check;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return refused(check, "names no file");
    const std::uint64_t size = std::filesystem::file_size(path, error);
    if (error)
        return refused(check, "names no file");
    // The size first, before anything is read.
    if (auto refusal = size_refusal(size))
        return refused(check, *refusal);
    if (auto warning = size_warning(size))
        check.warnings.push_back(*warning);

    auto file = open_compound_file(path);
    if (!file.ok())
        return refused(check, file.failure);
    if (auto refusal = class_id_refusal(file.value.root.class_id))
        return refused(check, *refusal);
    const auto children = root_children(file.value);
    if (!children.ok())
        return refused(check, children.failure);
    const auto summary = read_summary_stream(file.value, children.value);
    if (!summary.ok())
        return refused(check, summary.failure);

    const auto targets = read_text_property(summary.value, kPropertyTemplate);
    if (!targets.ok())
        return refused(check, targets.failure);
    if (auto refusal = target_list_refusal(targets.value.value_or("")))
        return refused(check, *refusal);
    const auto revision = read_text_property(summary.value, kPropertyRevisionNumber);
    if (!revision.ok())
        return refused(check, revision.failure);
    if (auto refusal = patch_code_refusal(revision.value.value_or("")))
        return refused(check, *refusal);
    check.patch_code = patch_code_of(*revision.value);

    const auto metadata = read_patch_metadata(file.value, children.value);
    if (!metadata.ok())
        return refused(check, metadata.failure);
    check.allows_removal = metadata.value.allows_removal;
    check.display_name = metadata.value.display_name;
    check.description = metadata.value.description;
    if (auto warning = removal_warning(metadata.value.allows_removal))
        check.warnings.push_back(*warning);

    const auto transform_list = read_text_property(summary.value, kPropertyTransforms);
    if (!transform_list.ok())
        return refused(check, transform_list.failure);
    auto transforms =
        read_transform_versions(file.value, children.value, transform_list.value.value_or(""));
    if (!transforms.ok())
        return refused(check, transforms.failure);
    check.transforms = std::move(transforms.value);
    check.versions = decide_pack_versions(check.transforms, options);
    if (check.versions.refusal)
        return refused(check, *check.versions.refusal);
    check.warnings.insert(check.warnings.end(), check.versions.warnings.begin(),
                          check.versions.warnings.end());
    check.notes = check.versions.notes;
    if (auto note = family_note(metadata.value))
        check.notes.push_back(*note);

    check.detection.product_codes = split_list(*targets.value, ';');
    check.detection.patch_code = check.patch_code;
    check.detection.target_version = check.versions.target;
    check.detection.applicable_versions = check.versions.applicable;
    check.detection.by_version = check.versions.by_version;
    check.detection.upgraded_product_codes = check.versions.upgraded_products;
    return check;
}

} // namespace corvath::msp
