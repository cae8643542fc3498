// The Windows entry point: a GUI program without a window of its own.
#include "app/entry.h"
#include "platform/process.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Installers run from download folders: whatever DLL is loaded later, also by the system's
    // own DLLs, comes from the system folder and never from beside the program.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    platform::SetModule(instance);
    return app::Entry();
}
