// Holds the installation until the host program is closed.
#pragma once

#include <string>

namespace install {

// The host program's executable file name.
inline constexpr wchar_t kHostProgramImage[] = L"corvath.exe";

// True when a process with a nonzero id runs an executable of that file name, case ignored.
// A snapshot that cannot be taken counts as not running.
bool IsProcessRunning(const std::wstring& imageName);

// True once the host program is not running (at once if it never was). While it runs, a
// Retry/Cancel box asks the user to close it, even in a quiet run. Only Retry looks again:
// Cancel, and a box that cannot be shown at all (no desktop, as under a deployment tool's
// service account), give false, so the run never waits on an answer that cannot come.
bool WaitForHostProgramClosed();

} // namespace install
