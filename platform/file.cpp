// Shared by both platforms: the file owner's move; each platform closes its own handles.
#include "platform/files.h"

namespace platform {

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = kNone;
    }
    return *this;
}

} // namespace platform
