// Modal message boxes.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// MessageBoxW with no owner window; returns the button pressed (IDOK 1, IDCANCEL 2, IDRETRY 4),
// or 0 / -1 when no box could be shown.
int ShowMessageBox(const std::wstring& text, const std::wstring& caption, std::uint32_t type);

} // namespace platform
