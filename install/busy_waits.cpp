#include "install/busy_waits.h"

#include <algorithm>

#include "platform/files.h"
#include "platform/system.h"
#include "runlog/run_log.h"

namespace install {
namespace {

constexpr wchar_t kInstallerMutex[] = L"Global\\_MSIExecute";

std::wstring Seconds(std::uint64_t microseconds) {
    return std::to_wstring(microseconds / 1000000) + L"." +
           std::to_wstring(microseconds / 100000 % 10) + L" s";
}

// Waits for `mutex`: first without waiting, then, logging that it waits for `what`, for the rest
// of the budget. The outcome of the last wait.
platform::WaitResult WaitLogged(platform::Mutex& mutex, const std::wstring& what,
                                WaitBudget& budget) {
    platform::WaitResult result = platform::WaitForMutex(mutex, 0);
    if (result != platform::WaitResult::TimedOut) {
        return result;
    }
    runlog::Log(L"waiting for " + what + L" (" + mutex.Name() + L" is held), at most " +
                std::to_wstring(budget.LeftMilliseconds() / 1000) + L" s");
    const std::uint64_t started = platform::MonotonicMicroseconds();
    result = platform::WaitForMutex(mutex, budget.LeftMilliseconds());
    const std::wstring took = Seconds(platform::MonotonicMicroseconds() - started);
    switch (result) {
    case platform::WaitResult::Acquired:
        runlog::Log(L"waited " + took + L" for " + what + L": it is over");
        break;
    case platform::WaitResult::Abandoned:
        break; // the caller tells
    case platform::WaitResult::TimedOut:
        runlog::Log(L"waited " + took + L" for " + what + L": still going; no more waiting");
        break;
    case platform::WaitResult::Failed:
        runlog::LogFailure(L"waiting for " + what, platform::LastError());
        break;
    }
    return result;
}

// An elevated run trusts a name made by SYSTEM, by Administrators, by an administrator's own
// account or by its own account. Any other owner is somebody who made the name first to hold
// deployments up: the run goes around it.
bool IsSquatted(const platform::Mutex& mutex) {
    if (platform::ProcessElevation() != platform::Elevation::Elevated) {
        return false;
    }
    const platform::ObjectOwner owner = platform::OwnerOf(mutex);
    if (owner.kind == platform::OwnerKind::SystemOrAdministrators ||
        owner.kind == platform::OwnerKind::Administrator ||
        owner.kind == platform::OwnerKind::ThisAccount) {
        return false;
    }
    runlog::Log(
        mutex.Name() + L" was made by " +
        (owner.sid.empty() ? L"an owner that cannot be read" : L"another account, " + owner.sid) +
        L", not by a run of this pack as SYSTEM, an administrator or this account: it "
        L"is taken for squatted, and this run goes on without it");
    return true;
}

} // namespace

namespace {

std::uint32_t MillisecondsUntil(std::uint64_t deadline) {
    const std::uint64_t now = platform::MonotonicMicroseconds();
    return now >= deadline ? 0 : static_cast<std::uint32_t>((deadline - now) / 1000);
}

} // namespace

WaitBudget::WaitBudget()
    : busyDeadline_(platform::MonotonicMicroseconds() +
                    std::uint64_t{kBusyWaitMilliseconds} * 1000),
      runDeadline_(platform::MonotonicMicroseconds() +
                   std::uint64_t{kRunBoundMilliseconds} * 1000) {}

std::uint32_t WaitBudget::LeftMilliseconds() const {
    return std::min(MillisecondsUntil(busyDeadline_), MillisecondsUntil(runDeadline_));
}

std::uint32_t WaitBudget::RunLeftMilliseconds() const {
    return MillisecondsUntil(runDeadline_);
}

PackRunLock::~PackRunLock() {
    Release();
}

void PackRunLock::Release() {
    if (owned_ && !platform::LetGoOfMutex(mutex_)) {
        runlog::LogFailure(L"letting go of " + mutex_.Name(), platform::LastError());
    }
    owned_ = false;
    mutex_.Close();
}

bool PackRunLock::Acquire(const std::wstring& patchCode, WaitBudget& budget) {
    platform::MutexOpening opening = platform::MutexOpening::Created;
    mutex_ = platform::CreateGlobalMutex(L"corvath-sp-" + patchCode, opening);
    if (!mutex_.IsOpen()) {
        runlog::LogFailure(L"making the mutex that keeps runs of this pack apart",
                           platform::LastError());
        return true;
    }
    if (opening != platform::MutexOpening::Created && IsSquatted(mutex_)) {
        mutex_.Close();
        return true;
    }
    if (opening == platform::MutexOpening::WaitOnly) {
        runlog::Log(mutex_.Name() + L" refuses this account full access: it is waited on only");
    }
    switch (WaitLogged(mutex_, L"another run of this service pack", budget)) {
    case platform::WaitResult::Acquired:
        break;
    case platform::WaitResult::Abandoned:
        runlog::Log(L"another run of this service pack ended without letting go of " +
                    mutex_.Name() + L" (it was stopped or crashed); this run goes on");
        break;
    case platform::WaitResult::TimedOut:
        return false;
    case platform::WaitResult::Failed:
        return true;
    }
    owned_ = true;
    runlog::Log(L"this run of the pack holds " + mutex_.Name());
    return true;
}

bool WaitForInstallerIdle(WaitBudget& budget) {
    // No such mutex: no installation is under way.
    platform::Mutex mutex = platform::OpenMutexToWaitOn(kInstallerMutex);
    if (!mutex.IsOpen()) {
        return true;
    }
    const platform::WaitResult result =
        WaitLogged(mutex, L"another installation by Windows Installer", budget);
    if (result == platform::WaitResult::TimedOut) {
        return false;
    }
    if ((result == platform::WaitResult::Acquired || result == platform::WaitResult::Abandoned) &&
        !platform::LetGoOfMutex(mutex)) {
        runlog::LogFailure(L"letting go of " + mutex.Name(), platform::LastError());
    }
    return true;
}

} // namespace install
