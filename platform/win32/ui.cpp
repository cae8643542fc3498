#include "platform/ui.h"

#include <windows.h>

namespace platform {

int ShowMessageBox(const std::wstring& text, const std::wstring& caption, std::uint32_t type) {
    return MessageBoxW(nullptr, text.c_str(), caption.c_str(), type);
}

} // namespace platform
