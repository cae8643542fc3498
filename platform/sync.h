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

// Creates the mutex `name`, or opens it when another process made it, in the global namespace
// ("Global\<name>"), where runs of every session meet; when that cannot be had (a mutex of that
// name that another account made and keeps to itself, say), in this session's ("Local\<name>").
// Not open when neither can be had; the thread's last error tells why.
Mutex CreateSharedMutex(const std::wstring& name);

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
