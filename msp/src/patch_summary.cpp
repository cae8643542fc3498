#include "msp/patch_summary.h"

#include "msp/summary_information.h"

namespace corvath::msp {

Parsed<Bytes> read_summary_stream(CompoundFile& file,
                                  const std::vector<DirectoryEntry>& root_children) {
    const DirectoryEntry* entry = find_entry(root_children, kSummaryInformationName);
    if (!entry)
        return failed<Bytes>("has no summary information, where a patch names its target products");
    return read_stream(file, *entry);
}

Parsed<PatchSummary> read_patch_summary(const std::filesystem::path& path) {
    auto file = open_compound_file(path);
    if (!file.ok())
        return failed<PatchSummary>(file.failure);
    const auto children = root_children(file.value);
    if (!children.ok())
        return failed<PatchSummary>(children.failure);
    const auto stream = read_summary_stream(file.value, children.value);
    if (!stream.ok())
        return failed<PatchSummary>(stream.failure);
    const auto targets = read_text_property(stream.value, kPropertyTemplate);
    if (!targets.ok())
        return failed<PatchSummary>(targets.failure);
    const auto revision = read_text_property(stream.value, kPropertyRevisionNumber);
    if (!revision.ok())
        return failed<PatchSummary>(revision.failure);
    return {{targets.value, revision.value}, {}};
}

} // namespace corvath::msp
