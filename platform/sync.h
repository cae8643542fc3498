// Named mutexes shared with other processes, and pauses: how a run waits for another run of the
// pack and for Windows Installer busy with someone else's installation.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Owns one handle on a named mutex and closes it once. Closing a handle does not let go of a
// mutex the thread owns: LetGoOfMutex does.
class Mutex {
  public:
    Mutex() = default;
    Mutex(std::intptr_t handle, std::wstring name) : handle_(handle), name_(std::move(name)) {}
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    Mutex(Mutex&& other) noexcept;
    Mutex& operator=(Mutex&& other) noexcept;
    ~Mutex() { Close(); }

    bool IsOpen() const { return handle_ != kNone; }
    std::intptr_t Handle() const { return handle_; }
    // The full name it was opened by, namespace included.
    const std::wstring& Name() const { return name_; }
    void Close();

    static constexpr std::intptr_t kNone = 0;

  private:
    std::intptr_t handle_ = kNone;
    std::wstring name_;
};

enum class MutexOpening {
    Created,  // new, made by this process with the security below
    Opened,   // another process made it; opened with full access
    WaitOnly, // another process made it and refuses us full access; opened for waiting on it
};

// Creates the mutex "Global\<name>", where runs of every session meet, or opens it when another
// process made it. A new one gets its own security, not the creator's default: full access for
// SYSTEM and Administrators, and nothing for anyone else. On a mutex, waiting is owning: whoever
// may wait on it (SYNCHRONIZE) can hold it and keep every run waiting, so no one else may. A run
// that is not elevated therefore cannot open one that an elevated run made. One that refuses us
// full access is opened for waiting. Not open when it cannot be had at all; the thread's last
// error tells why.
Mutex CreateGlobalMutex(const std::wstring& name, MutexOpening& opening);

enum class OwnerKind {
    SystemOrAdministrators, // made by SYSTEM or an elevated administrator
    Administrator,          // made by a member of the local Administrators group under its own
                            // SID: a full token outside UAC (the built-in Administrator on a
                            // server, or UAC off) owns what it makes so
    ThisAccount,            // made under the account this process runs as
    Other,                  // made by another account: anyone can make a name first
    Unknown,                // the owner cannot be read
};
struct ObjectOwner {
    OwnerKind kind = OwnerKind::Unknown;
    std::wstring sid; // the owner's SID, as text; empty when unknown
};
// Who owns the object behind the mutex's handle (GetSecurityInfo).
ObjectOwner OwnerOf(const Mutex& mutex);

// Opens an existing mutex by its full name for waiting on it (SYNCHRONIZE) and nothing else. Not
// open when there is none of that name.
Mutex OpenMutexToWaitOn(const std::wstring& fullName);

enum class WaitResult {
    Acquired,  // this thread owns the mutex
    Abandoned, // this thread owns it; its last owner ended without letting go
    TimedOut,
    Failed, // the thread's last error tells why
};
// Waits until this thread owns the mutex, for at most `milliseconds`.
WaitResult WaitForMutex(Mutex& mutex, std::uint32_t milliseconds);

// Lets go of a mutex this thread owns.
bool LetGoOfMutex(Mutex& mutex);

// Sleeps this thread.
void Pause(std::uint32_t milliseconds);

} // namespace platform
