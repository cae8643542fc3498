#include "platform/sync.h"

#include <windows.h>

namespace platform {
namespace {

HANDLE AsHandle(std::intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}

Mutex Created(const std::wstring& fullName) {
    HANDLE handle = CreateMutexW(nullptr, FALSE, fullName.c_str());
    if (handle == nullptr) {
        return {};
    }
    return Mutex(reinterpret_cast<std::intptr_t>(handle), fullName);
}

} // namespace

void Mutex::Close() {
    if (handle_ != kNone) {
        CloseHandle(AsHandle(handle_));
        handle_ = kNone;
    }
}

Mutex CreateSharedMutex(const std::wstring& name) {
    Mutex global = Created(L"Global\\" + name);
    return global.IsOpen() ? std::move(global) : Created(L"Local\\" + name);
}

Mutex OpenMutexToWaitOn(const std::wstring& fullName) {
    HANDLE handle = OpenMutexW(SYNCHRONIZE, FALSE, fullName.c_str());
    if (handle == nullptr) {
        return {};
    }
    return Mutex(reinterpret_cast<std::intptr_t>(handle), fullName);
}

WaitResult WaitForMutex(Mutex& mutex, std::uint32_t milliseconds) {
    switch (WaitForSingleObject(AsHandle(mutex.Handle()), milliseconds)) {
    case WAIT_OBJECT_0:
        return WaitResult::Acquired;
    case WAIT_ABANDONED:
        return WaitResult::Abandoned;
    case WAIT_TIMEOUT:
        return WaitResult::TimedOut;
    default:
        return WaitResult::Failed;
    }
}

bool LetGoOfMutex(Mutex& mutex) {
    if (ReleaseMutex(AsHandle(mutex.Handle()))) {
        return true;
    }
    // Ownership belongs to the thread, not the handle: should a handle opened for waiting alone
    // be refused, a second handle with the right to change the mutex lets go of it.
    if (GetLastError() != ERROR_ACCESS_DENIED) {
        return false;
    }
    HANDLE modify = OpenMutexW(MUTEX_MODIFY_STATE, FALSE, mutex.Name().c_str());
    if (modify == nullptr) {
        return false;
    }
    const BOOL released = ReleaseMutex(modify);
    CloseHandle(modify);
    return released != 0;
}

void Pause(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

} // namespace platform
