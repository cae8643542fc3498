// Holds the installation until the host program is closed.
#pragma once

#include "install/exit_code.h"

#include <cstdint>
#include <string>
#include <vector>

namespace install {

// The host program's executable file name.
inline constexpr wchar_t kHostProgramImage[] = L"corvath.exe";

// How long a person in another session has to answer the box that asks them to close the host
// program, when the run itself is where nobody can see a box (a deployment tool's service).
inline constexpr std::uint32_t kAskSessionSeconds = 5 * 60;

// The ids of the processes, other than id 0, that run an executable of that file name, case
// ignored. A snapshot that cannot be taken counts as none.
std::vector<std::uint32_t> RunningProcesses(const std::wstring& imageName);
bool IsProcessRunning(const std::wstring& imageName);

// True once the host program is not running (at once if it never was). While it runs, a
// Retry/Cancel box asks the person to close it, even in a quiet run: on this process's own
// desktop; or, where nobody can see that, on the desktop of each session in which the program
// runs, each box waiting at most kAskSessionSeconds for an answer. Only Retry looks again:
// Cancel, no answer in time, no session with a person in it, and a box that cannot be shown or
// sent give false, so that the run never waits on an answer that cannot come.
bool WaitForHostProgramClosed();

// The same, for a run: a false marks the tally cancelled and leaves 1602 as the thread's last
// error, the code the failure message shows (the box's own last error, 0 or 1400 without a
// desktop, would mean nothing to the reader).
bool WaitForHostProgramClosed(RunTally& tally);

} // namespace install
