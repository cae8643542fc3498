// Windows Installer's own verdict on whether the patch applies to a product, logged beside the
// pack's decision. It never acts: the pack decides by its own rules, which an administrator can
// read in its log and README; a disagreement is one line to search for across a fleet's logs.
#pragma once

#include "install/decision.h"
#include "install/product.h"

#include <string>

namespace install {

// Asks Windows Installer (MsiDeterminePatchSequenceW, in the context the product is installed
// in) whether the patch at `patchPath` applies to the product, and logs its answer. Where the
// pack applies the patch and Windows Installer says it does not, or the other way round, one
// line begins with kDisagreement.
void LogInstallersVerdict(const ProductRecord& record, const std::wstring& patchPath,
                          ProductDecision decision);

inline constexpr wchar_t kDisagreement[] = L"the pack and Windows Installer disagree";

} // namespace install
