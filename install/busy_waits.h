// Patience with other installations: another run of this pack, and Windows Installer busy with
// somebody else's. Deployment tools start a pack on many machines at once and again soon after;
// a run that waits a few minutes spares the fleet a failed run and a retry hours later. Every
// wait of a run comes out of one budget, so a run never waits longer than that in all.
#pragma once

#include "platform/sync.h"

#include <cstdint>
#include <string>

namespace install {

// How long a run waits for other installations, in all.
constexpr std::uint32_t kBusyWaitMilliseconds = 10 * 60 * 1000;
// How long a run may spend waiting in all: for other installations, and for the person asked to
// close Corvath, however often they answer Retry. Intune ends an installation after 60 minutes
// by default, and a run it kills reports nothing: a run that stops at 50 leaves Windows Installer
// 10 of them for its own work, and ends with 1618, which Intune and ConfigMgr retry.
constexpr std::uint32_t kRunBoundMilliseconds = 50 * 60 * 1000;

// The time left of a run's waiting, counted from its start on a clock that the time of day does
// not move: for other installations, at most kBusyWaitMilliseconds, and for anything the run
// waits on, at most kRunBoundMilliseconds.
class WaitBudget {
  public:
    WaitBudget();
    // What is left for other installations.
    std::uint32_t LeftMilliseconds() const;
    // What is left of the run's bound.
    std::uint32_t RunLeftMilliseconds() const;

  private:
    std::uint64_t busyDeadline_;
    std::uint64_t runDeadline_;
};

// One run of a pack at a time: the mutex of the pack's patch code, held from before extraction to
// the end of the run. A second run of the same pack waits for the first, silently, within the
// budget.
class PackRunLock {
  public:
    PackRunLock() = default;
    PackRunLock(const PackRunLock&) = delete;
    PackRunLock& operator=(const PackRunLock&) = delete;
    ~PackRunLock();

    // False when the budget ran out with another run still going. A mutex that cannot be had at
    // all is logged and the run goes on without it: one pack run is no worse than before. So
    // does an elevated run that finds the name made by an account that is neither SYSTEM, nor
    // Administrators or one of its members, nor its own: anyone may make a name first, and nobody
    // else may make an elevated run wait.
    bool Acquire(const std::wstring& patchCode, WaitBudget& budget);
    // Lets go of the mutex, if held; nothing the second time.
    void Release();

  private:
    platform::Mutex mutex_;
    bool owned_ = false;
};

// Waits, within the budget, while another installation holds Windows Installer's own mutex. The
// mutex is opened for waiting only, and let go of at once when a wait acquires it: nobody may
// hold it across an installation of theirs, or Windows Installer itself would wait for us.
// False when the budget ran out with the mutex still held.
bool WaitForInstallerIdle(WaitBudget& budget);

} // namespace install
