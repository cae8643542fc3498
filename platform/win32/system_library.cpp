#include "platform/win32/system_library.h"

namespace platform::win32 {

HMODULE SystemLibrary(const wchar_t* name) {
    return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

} // namespace platform::win32
