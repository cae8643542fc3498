// Names for extracted patches in the temporary directory: the directory, "MSP" and a number.
#pragma once

#include <string>

namespace payload {

// The directory a temporary name goes into: TMP when it is seen to be a directory, otherwise
// `preferred` when it is, otherwise the root of the current drive, otherwise the current
// directory.
std::wstring TempNameDirectory(const std::wstring& preferred);

// The next free name "<directory><separator>MSP<n>". The number comes from a counter that lives
// for the whole process and starts at 2; a name that exists, or cannot be examined, is skipped.
// False when no number is left, or after a short run of names in a row that cannot be examined.
bool NextTempName(const std::wstring& preferred, std::wstring& name);

// "<stem><extension>" for attempt 1, then "<stem>-2<extension>", "<stem>-3<extension>"...: the
// names of logs made new in a shared folder, where runs of the same second meet.
std::wstring NumberedName(const std::wstring& stem, int attempt, const std::wstring& extension);
// Far more names than runs can start in one second; the count still ends.
constexpr int kNumberedNameAttempts = 10000;

// Starts the counter over; for tests that run several "processes" in one.
void ResetTempNameCounter();

} // namespace payload
