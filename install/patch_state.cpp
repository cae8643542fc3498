#include "install/patch_state.h"

#include "platform/msi.h"
#include "runlog/run_log.h"

namespace install {
namespace {

struct StateText {
    const wchar_t* value; // MSIPATCHSTATE_*, as the property's text
    PatchState state;
    const wchar_t* name;
};

constexpr StateText kStates[] = {
    {L"1", PatchState::Applied, L"applied"},
    {L"2", PatchState::Superseded, L"superseded"},
    {L"4", PatchState::Obsoleted, L"obsoleted"},
    {L"8", PatchState::Registered, L"registered, not applied"},
};

} // namespace

std::uint32_t PatchInfo(const std::wstring& patchCode, const std::wstring& productCode,
                        const wchar_t* property, std::wstring& value) {
    std::uint32_t firstError = platform::kErrorSuccess;
    for (const platform::InstallContext context : kSearchedContexts) {
        const std::uint32_t result =
            platform::MsiPatchInfoIn(context, patchCode, productCode, property, value);
        if (result == platform::kErrorSuccess) {
            return result;
        }
        if (result != platform::kErrorUnknownPatch && result != platform::kErrorUnknownProduct) {
            runlog::Log(L"patch " + patchCode + L" on " + productCode + L", context " +
                        std::to_wstring(static_cast<unsigned>(context)) + L": " +
                        runlog::DescribeError(result) + L"; the other contexts are asked");
            firstError = firstError == platform::kErrorSuccess ? result : firstError;
        }
    }
    return firstError == platform::kErrorSuccess ? platform::kErrorUnknownPatch : firstError;
}

PatchRegistration QueryPatchState(const std::wstring& patchCode, const std::wstring& productCode) {
    PatchRegistration registration;
    registration.error = PatchInfo(patchCode, productCode, L"State", registration.stateText);
    if (registration.error != platform::kErrorSuccess) {
        registration.stateText.clear();
        return registration;
    }
    registration.state = PatchState::Other;
    for (const StateText& known : kStates) {
        if (registration.stateText == known.value) {
            registration.state = known.state;
        }
    }
    return registration;
}

bool LeavesProductCurrent(PatchState state) {
    return state == PatchState::Applied || state == PatchState::Superseded ||
           state == PatchState::Obsoleted;
}

const wchar_t* ToText(PatchState state) {
    if (state == PatchState::NotRegistered) {
        return L"not registered";
    }
    for (const StateText& known : kStates) {
        if (known.state == state) {
            return known.name;
        }
    }
    return L"in a state this pack does not know";
}

} // namespace install
