// What the patch says of itself in its own database: the MsiPatchMetadata rows Windows Installer
// consults before it removes a patch or applies it to an original release, the name and
// description it lists the patch under, and whether its MsiPatchSequence rows supersede earlier
// patches of their family.
#pragma once

#include "msp/compound_file.h"

#include <optional>
#include <string>
#include <vector>

namespace corvath::msp {

struct PatchMetadata {
    bool allows_removal = false;          // (no Company) AllowRemoval = 1
    bool minor_update_target_rtm = false; // (no Company) MinorUpdateTargetRTM = 1
    bool supersedes_earlier = false;      // a MsiPatchSequence row with Attributes bit 0x1
    // (no Company) DisplayName and Description, in UTF-8; nothing when absent, or when the
    // pool's code page is neither UTF-8 nor Western and the text is not ASCII.
    std::optional<std::string> display_name;
    std::optional<std::string> description;
};

// Read from the root's tables. A patch without them, or with a table or string pool this reader
// cannot make sense of, has none of the above; a stream the compound file cannot deliver, or a
// string pool whose strings run past _StringData (a database Windows Installer cannot read), is
// a failure.
Parsed<PatchMetadata> read_patch_metadata(CompoundFile& file,
                                          const std::vector<DirectoryEntry>& root_children);

} // namespace corvath::msp
