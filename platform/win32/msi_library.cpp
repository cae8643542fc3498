#include "platform/win32/msi_library.h"

#include "platform/win32/system_library.h"

namespace platform::win32 {
namespace {

template <typename Function> bool Resolve(HMODULE module, const char* name, Function& function) {
    function = EntryPoint<Function>(module, name);
    return function != nullptr;
}

bool Load(MsiLibrary& library) {
    HMODULE module = SystemLibrary(L"msi.dll");
    if (module == nullptr) {
        return false;
    }
    return Resolve(module, "MsiGetSummaryInformationW", library.getSummaryInformation) &&
           Resolve(module, "MsiSummaryInfoGetPropertyW", library.summaryInfoGetProperty) &&
           Resolve(module, "MsiCloseHandle", library.closeHandle) &&
           Resolve(module, "MsiQueryProductStateW", library.queryProductState) &&
           Resolve(module, "MsiGetProductInfoW", library.getProductInfo) &&
           Resolve(module, "MsiSetInternalUI", library.setInternalUi) &&
           Resolve(module, "MsiConfigureProductExW", library.configureProductEx) &&
           Resolve(module, "MsiEnableLogW", library.enableLog) &&
           Resolve(module, "MsiGetPatchInfoExW", library.getPatchInfoEx) &&
           Resolve(module, "MsiRemovePatchesW", library.removePatches) &&
           Resolve(module, "MsiDeterminePatchSequenceW", library.determinePatchSequence);
}

} // namespace

const MsiLibrary* Msi() {
    static MsiLibrary library;
    static const bool loaded = Load(library);
    return loaded ? &library : nullptr;
}

} // namespace platform::win32
