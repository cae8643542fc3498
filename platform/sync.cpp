// Shared by both platforms: the mutex owner's move; each platform closes its own handles.
#include "platform/sync.h"

namespace platform {

Mutex::Mutex(Mutex&& other) noexcept : handle_(other.handle_), name_(std::move(other.name_)) {
    other.handle_ = kNone;
}

Mutex& Mutex::operator=(Mutex&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        name_ = std::move(other.name_);
        other.handle_ = kNone;
    }
    return *this;
}

} // namespace platform
