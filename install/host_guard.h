// Holds the installation until the host program is closed.
#pragma once

#include "install/busy_waits.h"
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

// How the wait for the host program ended. Only Cancel is a person saying no; the rest mean
// "try again later".
enum class GuardOutcome {
    Closed,     // the host program is not running (or never was)
    Cancelled,  // the person asked pressed Cancel
    Unanswered, // nobody answered in time, nobody works where it runs, or no box could be shown
    OutOfTime,  // the run's bound ran out while the question was open
};

// Waits until the host program is not running (at once if it never was). While it runs, a
// Retry/Cancel box asks the person to close it, even in a quiet run: on this process's own
// desktop; or, where nobody can see that, on the desktop of each session in which the program
// runs, each box waiting at most kAskSessionSeconds for an answer. Only Retry looks again. Every
// box counts against the run's bound in `budget` and is closed when it runs out, so that the run
// never waits on an answer that cannot come, nor for longer than a deployment tool would.
GuardOutcome WaitForHostProgramClosed(const WaitBudget& budget);

// The same, for a run: anything but Closed marks the tally (Cancel: 1602; otherwise 1618, which
// deployment tools retry) and leaves that code as the thread's last error, the code the failure
// message shows (the box's own last error, 0 or 1400 without a desktop, would mean nothing to
// the reader).
bool WaitForHostProgramClosed(RunTally& tally, const WaitBudget& budget);

} // namespace install
