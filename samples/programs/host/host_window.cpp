// The host program the service pack waits for: a plain top-level window that lives until it is
// closed. Its title carries the version so a test can tell which build is running.
#include <windows.h>

#include "host_version.h"

namespace {

const wchar_t kWindowClass[] = L"CorvathHostWindow";
const wchar_t kWindowTitle[] = L"Corvath " CORVATH_HOST_VERSION_WIDE;

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

} // namespace

// WinMain rather than wWinMain: MinGW needs -municode for the wide entry point, and nothing here
// reads the command line.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = HostWindowProc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszClassName = kWindowClass;
    if (RegisterClassExW(&window_class) == 0) {
        return 1;
    }

    HWND window = CreateWindowExW(0, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 480, 240, nullptr, nullptr, instance, nullptr);
    // Headless Wine has no window driver. The process must still count as a running host for the
    // service pack's guard, so it waits windowless until it is killed.
    if (window != nullptr) {
        ShowWindow(window, show);
        UpdateWindow(window);
    }

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
