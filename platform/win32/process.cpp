#include "platform/process.h"

#include "platform/win32/module.h"

#include <windows.h>

#include <shellapi.h>

namespace platform {

void SetModule(void* module) {
    win32::g_module = static_cast<HMODULE>(module);
}

bool CommandLineArguments(std::vector<std::wstring>& arguments) {
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(GetCommandLineW(), &count);
    if (split == nullptr) {
        return false;
    }
    arguments.assign(split, split + count);
    LocalFree(split);
    return true;
}

} // namespace platform
