// What each transform of a patch says it changes: its own summary information's property 9,
// "{from product code}from version;{to product code}to version;{upgrade code}". Windows
// Installer reads it to decide whether the transform applies; the pack's build reads it to know
// the versions the patch brings a product from and to.
#pragma once

#include "msp/compound_file.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvath::msp {

struct TransformVersions {
    std::string name;         // its storage, as summary property 8 names it (without the ":")
    bool readable = false;    // property 9 was there and read as above; the rest is empty if not
    std::string from_product; // braced, as written
    std::string from_version; // as written: "1.1.1", "8.1.0.4"
    std::string to_product;
    std::string to_version;
    std::string upgrade_code; // empty when the transform names none
    // The upper word of its summary property 16: what Windows Installer checks before it
    // applies the transform (language 0x1, product code 0x2, ..., upgrade code 0x800); nothing
    // when the property is absent.
    std::optional<std::uint16_t> validation_flags;
};

// "#X": the patch transform of a pair, which adds the patch's media and files once "X" has
// changed the product. Its property 9 names the version X leaves (new -> new), so it never
// says which version a patch targets.
inline bool is_patch_transform(const TransformVersions& transform) {
    return !transform.name.empty() && transform.name.front() == '#';
}

// Property 9 of one transform; nothing when it does not read as above.
std::optional<TransformVersions> parse_transform_revision(std::string_view revision);

// The transforms summary property 8 (`transform_list`, ":A;:#A;...") lists, in that order, each
// read from the storage of that name. A listed transform the patch does not hold is a failure.
Parsed<std::vector<TransformVersions>>
read_transform_versions(CompoundFile& file, const std::vector<DirectoryEntry>& root_children,
                        const std::string& transform_list);

} // namespace corvath::msp
