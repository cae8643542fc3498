// The Windows entry point: a GUI program without a window of its own.
#include "app/entry.h"
#include "platform/process.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    platform::SetModule(instance);
    return app::Entry();
}
