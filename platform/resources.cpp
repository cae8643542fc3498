// Shared by both platforms: how "#206" becomes the integer id 206.
#include "platform/resources.h"

namespace platform {

ResourceName ResourceNameFromText(std::wstring_view text) {
    if (text.size() > 1 && text.front() == L'#') {
        unsigned value = 0;
        bool digitsOnly = true;
        for (wchar_t c : text.substr(1)) {
            if (c < L'0' || c > L'9' || value > 0xFFFF) {
                digitsOnly = false;
                break;
            }
            value = value * 10 + static_cast<unsigned>(c - L'0');
        }
        if (digitsOnly && value != 0 && value <= 0xFFFF) {
            return ResourceName{static_cast<std::uint16_t>(value), {}};
        }
    }
    return ResourceName{0, std::wstring(text)};
}

} // namespace platform
