// What to do with one installed product.
#pragma once

#include "install/patch_state.h"
#include "install/version.h"

#include <string>

namespace install {

enum class ProductDecision {
    UpToDate,       // installed is the target version: counted, nothing shown
    AlreadyPatched, // Windows Installer has the patch applied to it: counted as UpToDate
    Upgraded,       // installed under a code the patch upgrades to, at or past the target: UpToDate
    Superseded,     // not applicable, where Windows Installer has the patch superseded or
                    // obsoleted (a later patch of its family): counted as UpToDate
    Apply,          // an applicable version matches the installed one
    NotApplicable,  // the list ran out first: message 308
    StopUpToDate,   // the target version came first in the list: message 306, the run ends
};

// Walks `applicableVersions` ("8.1.0.4," : each entry counts only when a "," follows it),
// comparing entries as parsed values, in order; the first entry that decides ends the walk.
ProductDecision DecideProduct(const VersionQuad& installed, const VersionQuad& target,
                              const std::wstring& applicableVersions);

// A pack whose target version is one of its applicable versions carries a patch that leaves the
// version as it is (a small update): its versions cannot tell a patched product from one that
// is not.
bool LeavesVersionAlone(const VersionQuad& target, const std::wstring& applicableVersions);

// Windows Installer's patch state first: a patch applied, superseded or obsoleted leaves the
// product current. Then, for a small update, the installed version being one the pack applies to
// is the whole rule; for any other pack the walk above decides.
ProductDecision DecideProduct(PatchState patch, const VersionQuad& installed,
                              const VersionQuad& target, const std::wstring& applicableVersions);

const wchar_t* ToText(ProductDecision decision);
// Why the decision fell so, for the run log: which versions matched.
const wchar_t* ReasonText(ProductDecision decision);

} // namespace install
