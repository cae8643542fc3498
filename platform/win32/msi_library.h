// msi.dll, loaded from the system folder only.
#pragma once

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

namespace platform::win32 {

// The Windows Installer entry points the pack calls. msi.dll is not one of the DLLs Windows
// always takes from the system folder, so an import would let a msi.dll lying beside the pack
// (say, in a downloads folder) be loaded in its place; we load it by the system folder alone.
struct MsiLibrary {
    decltype(&::MsiGetSummaryInformationW) getSummaryInformation = nullptr;
    decltype(&::MsiSummaryInfoGetPropertyW) summaryInfoGetProperty = nullptr;
    decltype(&::MsiCloseHandle) closeHandle = nullptr;
    decltype(&::MsiQueryProductStateW) queryProductState = nullptr;
    decltype(&::MsiGetProductInfoW) getProductInfo = nullptr;
    decltype(&::MsiSetInternalUI) setInternalUi = nullptr;
    decltype(&::MsiConfigureProductExW) configureProductEx = nullptr;
    decltype(&::MsiEnableLogW) enableLog = nullptr;
    decltype(&::MsiGetPatchInfoExW) getPatchInfoEx = nullptr;
    decltype(&::MsiRemovePatchesW) removePatches = nullptr;
    decltype(&::MsiDeterminePatchSequenceW) determinePatchSequence = nullptr;
};

// The loaded library; nullptr when msi.dll or one of its entry points cannot be had.
const MsiLibrary* Msi();

} // namespace platform::win32
