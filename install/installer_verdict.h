// Windows Installer's own verdict on whether the patch applies to a product, logged beside the
// pack's decision. Where the pack applies the patch, the pack's decision acts. Where the pack
// would refuse the product as not applicable, a verdict that the patch is superseded or obsoleted
// there acts instead: a later patch of the family has brought the product past this one, so the
// product is current. A disagreement is one line to search for across a fleet's logs.
#pragma once

#include "install/decision.h"
#include "install/product.h"

#include <string>

namespace install {

enum class InstallersVerdict {
    None,                  // Windows Installer gave no verdict
    Applies,               // status 0 with a place in the sequence
    DoesNotApply,          // status 1642, or another status
    SupersededOrObsoleted, // status 0 and no place in the sequence (dwOrder -1)
};

// Asks Windows Installer (MsiDeterminePatchSequenceW, in the context the product is installed
// in) whether the patch at `patchPath` applies to the product, logs its answer and returns it.
// Where the pack applies the patch and Windows Installer says it does not, or the other way
// round, one line begins with kDisagreement.
InstallersVerdict LogInstallersVerdict(const ProductRecord& record, const std::wstring& patchPath,
                                       ProductDecision decision);

inline constexpr wchar_t kDisagreement[] = L"the pack and Windows Installer disagree";

} // namespace install
