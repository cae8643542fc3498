// The module whose resources the store reads.
#pragma once

#include <windows.h>

namespace platform::win32 {

extern HMODULE g_module;

} // namespace platform::win32
