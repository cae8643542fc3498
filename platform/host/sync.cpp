// The simulated machine's named mutexes and its clock: a wait moves the clock to the moment the
// mutex is let go of, or by the whole timeout, so that tests of ten-minute waits take no time.
#include "platform/sync.h"

#include "platform/files.h"
#include "platform/host/simulation.h"
#include "platform/system.h"

namespace platform {
namespace {

constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorNotOwner = 288;

host::SimulatedMutex* Find(const Mutex& mutex) {
    auto& mutexes = host::TheSimulation().mutexes;
    const auto found = mutexes.find(mutex.Name());
    return found == mutexes.end() ? nullptr : &found->second;
}

void Advance(std::uint64_t microseconds) {
    host::TheSimulation().clockMicroseconds += microseconds;
}

} // namespace

void Mutex::Close() {
    handle_ = kNone;
}

Mutex CreateGlobalMutex(const std::wstring& name, MutexOpening& opening) {
    host::Simulation& simulation = host::TheSimulation();
    if (simulation.globalMutexError != 0) {
        SetLastError(simulation.globalMutexError);
        return {};
    }
    const std::wstring fullName = L"Global\\" + name;
    const auto [found, created] = simulation.mutexes.try_emplace(fullName);
    if (created) {
        found->second.owner = {OwnerKind::ThisAccount, simulation.userSid};
        opening = MutexOpening::Created;
    } else if (found->second.refusesWaiting) {
        SetLastError(kErrorAccessDenied);
        return {};
    } else {
        opening = found->second.refusesFullAccess ? MutexOpening::WaitOnly : MutexOpening::Opened;
    }
    return Mutex(1, fullName);
}

ObjectOwner OwnerOf(const Mutex& mutex) {
    const host::SimulatedMutex* state = Find(mutex);
    return state == nullptr ? ObjectOwner{} : state->owner;
}

Mutex OpenMutexToWaitOn(const std::wstring& fullName) {
    if (host::TheSimulation().mutexes.count(fullName) == 0) {
        SetLastError(kErrorFileNotFound);
        return {};
    }
    return Mutex(1, fullName);
}

WaitResult WaitForMutex(Mutex& mutex, std::uint32_t milliseconds) {
    host::SimulatedMutex* state = Find(mutex);
    if (state == nullptr) {
        return WaitResult::Failed;
    }
    const std::uint64_t now = MonotonicMicroseconds();
    if (state->ownedByUs == 0 && state->heldUntil > now) {
        const std::uint64_t timeout = std::uint64_t{milliseconds} * 1000;
        if (state->heldUntil == host::SimulatedMutex::kNever || state->heldUntil - now > timeout) {
            Advance(timeout);
            return WaitResult::TimedOut;
        }
        Advance(state->heldUntil - now);
    }
    const bool abandoned = state->ownedByUs == 0 && state->abandoned;
    state->heldUntil = 0;
    state->abandoned = false;
    ++state->ownedByUs;
    return abandoned ? WaitResult::Abandoned : WaitResult::Acquired;
}

bool LetGoOfMutex(Mutex& mutex) {
    host::SimulatedMutex* state = Find(mutex);
    if (state == nullptr || state->ownedByUs == 0) {
        SetLastError(state == nullptr ? kErrorAccessDenied : kErrorNotOwner);
        return false;
    }
    --state->ownedByUs;
    return true;
}

void Pause(std::uint32_t milliseconds) {
    host::TheSimulation().pauses.push_back(milliseconds);
    Advance(std::uint64_t{milliseconds} * 1000);
}

} // namespace platform
