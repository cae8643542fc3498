#include "msp/transform_versions.h"

#include "msp/patch_rules.h"
#include "msp/summary_information.h"
#include "text_lists.h"

namespace corvath::msp {
namespace {

std::u16string wide(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// "{code}version": the code is the braced text up to its "}", the version what follows.
bool split_code_and_version(std::string_view field, std::string& code, std::string& version) {
    const std::size_t close = field.find('}');
    if (field.empty() || field.front() != '{' || close != kBracedGuidLength - 1)
        return false;
    code = std::string(field.substr(0, kBracedGuidLength));
    version = std::string(field.substr(kBracedGuidLength));
    return !version.empty();
}

} // namespace

std::optional<TransformVersions> parse_transform_revision(std::string_view revision) {
    const std::size_t first = revision.find(';');
    if (first == std::string_view::npos)
        return std::nullopt;
    const std::size_t second = revision.find(';', first + 1);
    TransformVersions versions;
    versions.readable = true;
    if (!split_code_and_version(revision.substr(0, first), versions.from_product,
                                versions.from_version) ||
        !split_code_and_version(revision.substr(first + 1, second - first - 1), versions.to_product,
                                versions.to_version))
        return std::nullopt;
    if (second != std::string_view::npos)
        versions.upgrade_code = std::string(revision.substr(second + 1));
    return versions;
}

Parsed<std::vector<TransformVersions>>
read_transform_versions(CompoundFile& file, const std::vector<DirectoryEntry>& root_children,
                        const std::string& transform_list) {
    Parsed<std::vector<TransformVersions>> read;
    for (std::string name : split_list(transform_list, ';')) {
        if (!name.empty() && name.front() == ':')
            name.erase(0, 1);
        if (name.empty())
            continue;
        const DirectoryEntry* storage = find_entry(root_children, wide(name));
        if (!storage)
            return failed<std::vector<TransformVersions>>(
                "summary property " + std::to_string(kPropertyTransforms) +
                " names the transform \"" + name + "\", which the patch does not hold");
        const auto children = children_of(file, *storage);
        if (!children.ok())
            return failed<std::vector<TransformVersions>>(children.failure);
        TransformVersions versions;
        if (const DirectoryEntry* summary = find_entry(children.value, kSummaryInformationName)) {
            const auto stream = read_stream(file, *summary);
            if (!stream.ok())
                return failed<std::vector<TransformVersions>>(stream.failure);
            // A transform whose summary Windows Installer cannot read is one it skips: not a
            // fault of the package here, only a transform without versions.
            const auto revision = read_text_property(stream.value, kPropertyRevisionNumber);
            if (revision.ok() && revision.value)
                versions = parse_transform_revision(*revision.value).value_or(TransformVersions{});
            const auto flags = read_integer_property(stream.value, kPropertyCharacterCount);
            if (flags.ok() && flags.value)
                versions.validation_flags =
                    static_cast<std::uint16_t>(static_cast<std::uint32_t>(*flags.value) >> 16);
        }
        versions.name = name;
        read.value.push_back(std::move(versions));
    }
    return read;
}

} // namespace corvath::msp
