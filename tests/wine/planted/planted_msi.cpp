// A stand-in msi.dll that claims every product is installed and names it "PLANTED": a program
// that loads it from its own folder instead of the system folder gives itself away.
#include <windows.h>

extern "C" {

__declspec(dllexport) INT WINAPI MsiQueryProductStateW(LPCWSTR) {
    return 5;
}

__declspec(dllexport) UINT WINAPI
    MsiGetProductInfoW(LPCWSTR, LPCWSTR, LPWSTR buffer, LPDWORD size) {
    if (buffer != nullptr && size != nullptr && *size > 7) {
        lstrcpyW(buffer, L"PLANTED");
        *size = 7;
    }
    return ERROR_SUCCESS;
}

__declspec(dllexport) UINT WINAPI MsiEnumPatchesW(LPCWSTR, DWORD, LPWSTR, LPWSTR, LPDWORD) {
    return ERROR_NO_MORE_ITEMS;
}

} // extern "C"
