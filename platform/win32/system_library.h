// DLLs that are not among those Windows always takes from the system folder (KnownDLLs), loaded
// from the system folder alone: a pack is run from download folders, where a DLL of the same name
// may lie beside it.
#pragma once

#include <windows.h>

namespace platform::win32 {

// The DLL `name` from the system folder; nullptr when it cannot be loaded from there.
HMODULE SystemLibrary(const wchar_t* name);

// Keeps every DLL loaded after the start, also by the system's own DLLs, to the system folder and
// never beside the program (SetDefaultDllDirectories). It is looked up when called, not
// imported: Windows 7 without KB2533623 has none, and a program importing it would not start
// there; it then keeps the current folder out of the search (SetDllDirectoryW("")), and
// SystemLibrary loads by full path.
void KeepDllsToTheSystemFolder();

// The entry point `name` of `module` as a `Function`; nullptr when either is missing.
template <typename Function> Function EntryPoint(HMODULE module, const char* name) {
    // Through void*: GetProcAddress's own type is a function of no arguments.
    return module == nullptr
               ? nullptr
               : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

} // namespace platform::win32
