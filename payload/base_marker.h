// The base (corvath-sp-base.exe) is the program before the packer gives it a patch: it carries a
// marker resource in place of the package, and a run of it does nothing but say so.
#pragma once

namespace payload {

// Resource CORVATH_SP_BASE (RCDATA) is present: this file is a base, not a pack.
bool IsBase();

} // namespace payload
