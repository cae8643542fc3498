#include "platform/msi.h"

#include <windows.h>

#include <msi.h>
#include <msiquery.h>
#include <vector>

namespace platform {

std::uint32_t MsiOpenSummary(const std::wstring& fullPath, MsiHandle& handle) {
    MSIHANDLE opened = 0;
    const UINT result = MsiGetSummaryInformationW(0, fullPath.c_str(), 0, &opened);
    handle = result == ERROR_SUCCESS ? opened : 0;
    return result;
}

std::uint32_t MsiSummaryText(MsiHandle handle, unsigned property, wchar_t* buffer,
                             std::uint32_t& length) {
    UINT type = 0;
    INT integer = 0;
    FILETIME time{};
    DWORD size = length;
    const UINT result =
        MsiSummaryInfoGetPropertyW(handle, property, &type, &integer, &time, buffer, &size);
    length = size;
    return result;
}

void MsiClose(MsiHandle handle) {
    MsiCloseHandle(handle);
}

int MsiProductState(const std::wstring& productCode) {
    return MsiQueryProductStateW(productCode.c_str());
}

std::uint32_t MsiProductInfo(const std::wstring& productCode, const wchar_t* property,
                             wchar_t* buffer, std::uint32_t& length) {
    DWORD size = length;
    const UINT result = MsiGetProductInfoW(productCode.c_str(), property, buffer, &size);
    length = size;
    return result;
}

std::uint32_t MsiSetUiLevel(std::uint32_t level) {
    return MsiSetInternalUI(static_cast<INSTALLUILEVEL>(level), nullptr);
}

std::uint32_t MsiApplyToProduct(const std::wstring& productCode, const std::wstring& commandLine) {
    return MsiConfigureProductExW(productCode.c_str(), 0, INSTALLSTATE_DEFAULT,
                                  commandLine.c_str());
}

bool FullPathName(const std::wstring& path, std::size_t capacity, std::wstring& fullPath) {
    std::vector<wchar_t> buffer(capacity);
    const DWORD length =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(capacity), buffer.data(), nullptr);
    if (length == 0 || length >= capacity) {
        return false;
    }
    fullPath.assign(buffer.data(), length);
    return true;
}

} // namespace platform
