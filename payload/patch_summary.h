// Reads the patch's summary: property 7, the ";"-separated list of target product codes.
#pragma once

#include "platform/msi.h"

#include <string>

namespace payload {

// The summary of the patch at `patchPath` (made absolute in 260 characters), or 0.
platform::MsiHandle OpenPatchSummary(const std::wstring& patchPath);

// Reads summary property 7 into `targets`: 2048 characters at the first attempt and, when that
// is too small, exactly the reported length plus one at the second; there is no third. A
// summary without the property reads as the empty text. On false `targets` is untouched.
bool ReadPatchTargets(const std::wstring& patchPath, std::wstring& targets);

// The /i job's reading: extracts the patch to a new temporary file, reads its target list into
// `targets` and deletes the copy again. False, with `targets` empty, when the list could not be
// read.
bool ReadOwnPatchTargets(std::wstring& targets);

} // namespace payload
