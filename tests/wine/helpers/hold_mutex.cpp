// corvath-hold-mutex NAME SECONDS: creates the named mutex owning it, as an installation in
// progress holds Windows Installer's, writes "held" to stdout, and lets go after SECONDS.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: corvath-hold-mutex NAME SECONDS\n");
        return 2;
    }
    HANDLE mutex = CreateMutexW(nullptr, TRUE, argv[1]);
    if (mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        std::fwprintf(stderr, L"could not take %ls: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) * 1000);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}
