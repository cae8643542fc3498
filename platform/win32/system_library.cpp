#include "platform/win32/system_library.h"

#include <string>

namespace platform::win32 {
namespace {

// LOAD_LIBRARY_SEARCH_* and SetDefaultDllDirectories come with Windows 8, and with KB2533623 to
// Windows 7; where AddDllDirectory can be found, so can they (its documented test).
bool SearchFlagsKnown() {
    static const bool known =
        EntryPoint<void*>(GetModuleHandleW(L"kernel32.dll"), "AddDllDirectory") != nullptr;
    return known;
}

} // namespace

HMODULE SystemLibrary(const wchar_t* name) {
    if (SearchFlagsKnown()) {
        return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    // By its full path in the system folder, and the DLLs it imports from beside it first.
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    const std::wstring path = std::wstring(folder, length) + L"\\" + name;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void KeepDllsToTheSystemFolder() {
    using SetDirectories = BOOL(WINAPI*)(DWORD flags);
    const auto setDefault =
        EntryPoint<SetDirectories>(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    if (setDefault == nullptr || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        // Windows 7 without KB2533623: the current folder at least leaves the search.
        SetDllDirectoryW(L"");
    }
}

} // namespace platform::win32
