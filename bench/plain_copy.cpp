// corvath-plain-copy SOURCE TARGET: copies a file as plainly as a Windows program can (8 MiB
// reads and writes, the target made new): the yardstick for /e, which writes the same bytes.
#include <windows.h>

#include <cwchar>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: corvath-plain-copy SOURCE TARGET\n");
        return 2;
    }
    HANDLE in = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    HANDLE out = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (in == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE) {
        return 1;
    }
    std::vector<char> buffer(8u << 20);
    DWORD read = 0;
    DWORD written = 0;
    bool ok = true;
    while (ok && ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) &&
           read > 0) {
        ok = WriteFile(out, buffer.data(), read, &written, nullptr) && written == read;
    }
    CloseHandle(in);
    CloseHandle(out);
    return ok ? 0 : 1;
}
