// The Windows entry point: a GUI program without a window of its own.
#include "app/entry.h"
#include "platform/process.h"
#include "platform/win32/system_library.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Installers run from download folders: whatever DLL is loaded later, also by the system's
    // own DLLs, comes from the system folder and never from beside the program.
    platform::win32::KeepDllsToTheSystemFolder();
    platform::SetModule(instance);
    return app::Entry();
}
