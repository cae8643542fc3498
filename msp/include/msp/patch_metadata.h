// The patch's own MsiPatchMetadata table, read for the one row Windows Installer consults
// before it removes a patch: (no Company) AllowRemoval = 1.
#pragma once

#include "msp/compound_file.h"

#include <vector>

namespace corvath::msp {

// True when the root's MsiPatchMetadata has that row. A patch without the table, or with a
// table or string pool this reader cannot make sense of, does not allow its removal; a stream
// the compound file cannot deliver, or a string pool whose strings run past _StringData (a
// database Windows Installer cannot read), is a failure.
Parsed<bool> allows_removal(CompoundFile& file, const std::vector<DirectoryEntry>& root_children);

} // namespace corvath::msp
