#include "platform/msi.h"

#include "platform/win32/msi_library.h"

#include <vector>

namespace platform {
namespace {

using win32::Msi;

// What the calls answer when msi.dll cannot be loaded.
constexpr UINT kNoInstallerService = ERROR_INSTALL_SERVICE_FAILURE;

} // namespace

std::uint32_t MsiOpenSummary(const std::wstring& fullPath, MsiHandle& handle) {
    handle = 0;
    if (Msi() == nullptr) {
        return kNoInstallerService;
    }
    MSIHANDLE opened = 0;
    const UINT result = Msi()->getSummaryInformation(0, fullPath.c_str(), 0, &opened);
    handle = result == ERROR_SUCCESS ? opened : 0;
    return result;
}

std::uint32_t MsiSummaryText(MsiHandle handle, unsigned property, wchar_t* buffer,
                             std::uint32_t& length) {
    if (Msi() == nullptr) {
        return kNoInstallerService;
    }
    UINT type = 0;
    INT integer = 0;
    FILETIME time{};
    DWORD size = length;
    const UINT result =
        Msi()->summaryInfoGetProperty(handle, property, &type, &integer, &time, buffer, &size);
    length = size;
    return result;
}

void MsiClose(MsiHandle handle) {
    if (Msi() != nullptr) {
        Msi()->closeHandle(handle);
    }
}

int MsiProductState(const std::wstring& productCode) {
    if (Msi() == nullptr) {
        return INSTALLSTATE_UNKNOWN;
    }
    return Msi()->queryProductState(productCode.c_str());
}

std::uint32_t MsiProductInfo(const std::wstring& productCode, const wchar_t* property,
                             wchar_t* buffer, std::uint32_t& length) {
    if (Msi() == nullptr) {
        return kNoInstallerService;
    }
    DWORD size = length;
    const UINT result = Msi()->getProductInfo(productCode.c_str(), property, buffer, &size);
    length = size;
    return result;
}

std::uint32_t MsiSetUiLevel(std::uint32_t level) {
    if (Msi() == nullptr) {
        return level;
    }
    return Msi()->setInternalUi(static_cast<INSTALLUILEVEL>(level), nullptr);
}

std::uint32_t MsiEnableVerboseLog(const std::wstring& path) {
    if (Msi() == nullptr) {
        return kNoInstallerService;
    }
    // What msiexec's /l*v writes: every mode but extra debugging, and verbose.
    constexpr DWORD kEveryModeVerbose =
        INSTALLLOGMODE_FATALEXIT | INSTALLLOGMODE_ERROR | INSTALLLOGMODE_WARNING |
        INSTALLLOGMODE_USER | INSTALLLOGMODE_INFO | INSTALLLOGMODE_RESOLVESOURCE |
        INSTALLLOGMODE_OUTOFDISKSPACE | INSTALLLOGMODE_ACTIONSTART | INSTALLLOGMODE_ACTIONDATA |
        INSTALLLOGMODE_COMMONDATA | INSTALLLOGMODE_PROPERTYDUMP | INSTALLLOGMODE_VERBOSE;
    return Msi()->enableLog(kEveryModeVerbose, path.c_str(),
                            INSTALLLOGATTRIBUTES_APPEND | INSTALLLOGATTRIBUTES_FLUSHEACHLINE);
}

std::uint32_t MsiApplyToProduct(const std::wstring& productCode, const std::wstring& commandLine) {
    if (Msi() == nullptr) {
        return kNoInstallerService;
    }
    return Msi()->configureProductEx(productCode.c_str(), 0, INSTALLSTATE_DEFAULT,
                                     commandLine.c_str());
}

std::uint32_t MsiPatchInfoIn(InstallContext context, const std::wstring& patchCode,
                             const std::wstring& productCode, const wchar_t* property,
                             std::wstring& value) {
    if (Msi() == nullptr) {
        return kNoInstallerService;
    }
    std::vector<wchar_t> buffer(256);
    UINT result = ERROR_MORE_DATA;
    for (int read = 1; read <= 2 && result == ERROR_MORE_DATA; ++read) {
        DWORD length = static_cast<DWORD>(buffer.size());
        result = Msi()->getPatchInfoEx(patchCode.c_str(), productCode.c_str(), nullptr,
                                       static_cast<MSIINSTALLCONTEXT>(context), property,
                                       buffer.data(), &length);
        if (result == ERROR_MORE_DATA) {
            buffer.assign(static_cast<std::size_t>(length) + 1, L'\0');
        }
    }
    if (result == ERROR_SUCCESS) {
        value = buffer.data();
    }
    return result;
}

std::uint32_t MsiPatchVerdictIn(InstallContext context, const std::wstring& productCode,
                                const std::wstring& patchPath, PatchVerdict& verdict) {
    if (Msi() == nullptr) {
        return kNoInstallerService;
    }
    MSIPATCHSEQUENCEINFOW patch{};
    patch.szPatchData = patchPath.c_str();
    patch.ePatchDataType = MSIPATCH_DATATYPE_PATCHFILE;
    patch.dwOrder = ~DWORD{0};
    patch.uStatus = ERROR_SUCCESS;
    // No user SID: the machine context takes none, and the user contexts then mean this user.
    const UINT result = Msi()->determinePatchSequence(
        productCode.c_str(), nullptr, static_cast<MSIINSTALLCONTEXT>(context), 1, &patch);
    verdict.status = patch.uStatus;
    verdict.order = patch.dwOrder;
    return result;
}

std::uint32_t MsiRemovePatch(const std::wstring& patchCode, const std::wstring& productCode,
                             const std::wstring& properties) {
    if (Msi() == nullptr) {
        return kNoInstallerService;
    }
    return Msi()->removePatches(patchCode.c_str(), productCode.c_str(), INSTALLTYPE_SINGLE_INSTANCE,
                                properties.c_str());
}

} // namespace platform
