// Names for extracted patches in the temporary directory: the directory, "MSP" and a number.
#pragma once

#include <string>

namespace payload {

// The directory a temporary name goes into: TMP when it names an existing path, otherwise
// `preferred` when it exists, otherwise the root, otherwise the current directory.
std::wstring TempNameDirectory(const std::wstring& preferred);

// The next free name "<directory><separator>MSP<n>". The number comes from a counter that lives
// for the whole process and starts at 2; a name that exists, or cannot be examined, is skipped.
// False when no number is left.
bool NextTempName(const std::wstring& preferred, std::wstring& name);

// Starts the counter over; for tests that run several "processes" in one.
void ResetTempNameCounter();

} // namespace payload
