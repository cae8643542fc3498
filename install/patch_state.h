// What Windows Installer has registered of this pack's patch on a product: asked before the
// versions are looked at, because the versions of a patch that leaves them as they are cannot
// tell a patched product from an unpatched one, and the same question decides what /uninstall
// removes.
#pragma once

#include "platform/msi.h"

#include <cstdint>
#include <string>

namespace install {

// Windows Installer's contexts, in the order it searches them itself.
inline constexpr platform::InstallContext kSearchedContexts[] = {
    platform::InstallContext::UserManaged, platform::InstallContext::UserUnmanaged,
    platform::InstallContext::Machine};

// INSTALLPROPERTY_PATCHSTATE as Windows Installer answers it (MSIPATCHSTATE_*), or that no context
// knows the patch on the product.
enum class PatchState {
    NotRegistered,
    Applied,    // 1
    Superseded, // 2: applied, and a later patch of its family replaces it
    Obsoleted,  // 4: applied, and a later patch declares it obsolete
    Registered, // 8: known to the product, not applied
    Other,      // a state this pack does not know
};

struct PatchRegistration {
    PatchState state = PatchState::NotRegistered;
    std::wstring stateText;  // the property's text as Windows Installer gave it
    std::uint32_t error = 0; // why nothing was registered: 1647 when no context knows it
};

// A property of the patch on the product (MsiGetPatchInfoExW), asked in every context in the
// order Windows Installer itself searches them: the first context that knows the patch answers. A
// context that gives another error (a damaged per-user registration, say) is logged and passed
// over, so that the per-machine one, where a deployment registers the patch, is still asked.
// Otherwise the first such error, or 1647 when no context knows the patch.
std::uint32_t PatchInfo(const std::wstring& patchCode, const std::wstring& productCode,
                        const wchar_t* property, std::wstring& value);

PatchRegistration QueryPatchState(const std::wstring& patchCode, const std::wstring& productCode);

// Applied, superseded or obsoleted: the product has had the patch, whatever its version says.
bool LeavesProductCurrent(PatchState state);

const wchar_t* ToText(PatchState state);

} // namespace install
