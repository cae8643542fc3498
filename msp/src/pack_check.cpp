#include "msp/pack_check.h"

#include "msp/compound_file.h"
#include "msp/patch_metadata.h"
#include "msp/patch_rules.h"
#include "msp/patch_summary.h"
#include "msp/summary_information.h"

namespace corvath::msp {
namespace {

PackCheck refused(PackCheck check, std::string rule) {
    check.refusal = std::move(rule);
    return check;
}

} // namespace

PackCheck check_pack_patch(const std::filesystem::path& path) {
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

    const auto removable = allows_removal(file.value, children.value);
    if (!removable.ok())
        return refused(check, removable.failure);
    check.allows_removal = removable.value;
    if (auto warning = removal_warning(removable.value))
        check.warnings.push_back(*warning);
    return check;
}

} // namespace corvath::msp
