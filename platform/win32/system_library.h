// DLLs that are not among those Windows always takes from the system folder (KnownDLLs), loaded
// from the system folder alone: a pack is run from download folders, where a DLL of the same name
// may lie beside it.
#pragma once

#include <windows.h>

namespace platform::win32 {

// The DLL `name` from the system folder; nullptr when it cannot be loaded from there.
HMODULE SystemLibrary(const wchar_t* name);

// The entry point `name` of `module` as a `Function`; nullptr when either is missing.
template <typename Function> Function EntryPoint(HMODULE module, const char* name) {
    // Through void*: GetProcAddress's own type is a function of no arguments.
    return module == nullptr
               ? nullptr
               : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

} // namespace platform::win32
