// What the patch says of itself in its own database: the MsiPatchMetadata rows Windows Installer
// consults before it removes a patch or applies it to an original release, and whether its
// MsiPatchSequence rows supersede earlier patches of their family.
#pragma once

#include "msp/compound_file.h"

#include <vector>

namespace corvath::msp {

struct PatchMetadata {
    bool allows_removal = false;          // (no Company) AllowRemoval = 1
    bool minor_update_target_rtm = false; // (no Company) MinorUpdateTargetRTM = 1
    bool supersedes_earlier = false;      // a MsiPatchSequence row with Attributes bit 0x1
};

// Read from the root's tables. A patch without them, or with a table or string pool this reader
// cannot make sense of, has none of the above; a stream the compound file cannot deliver, or a
// string pool whose strings run past _StringData (a database Windows Installer cannot read), is
// a failure.
Parsed<PatchMetadata> read_patch_metadata(CompoundFile& file,
                                          const std::vector<DirectoryEntry>& root_children);

} // namespace corvath::msp
