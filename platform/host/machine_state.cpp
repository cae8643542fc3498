// The simulated machine's registry values and services.
#include "platform/machine_state.h"

#include "platform/host/simulation.h"
#include "platform/system.h"

namespace platform {
namespace {

constexpr std::uint32_t kFileNotFound = 2;           // ERROR_FILE_NOT_FOUND
constexpr std::uint32_t kServiceDoesNotExist = 1060; // ERROR_SERVICE_DOES_NOT_EXIST

// A key or value that is not there leaves the registry's answer as the last error, so that code
// which reads an earlier call's error after these finds it overwritten, as it may on Windows.
bool Missing() {
    SetLastError(kFileNotFound);
    return false;
}

std::wstring ValueName(const std::wstring& key, const std::wstring& value) {
    return key + L"\\" + value;
}

} // namespace

bool MachineDword(const std::wstring& key, const std::wstring& value, std::uint32_t& data) {
    const auto& values = host::TheSimulation().machineDwords;
    const auto found = values.find(ValueName(key, value));
    if (found == values.end()) {
        return Missing();
    }
    data = found->second;
    return true;
}

bool MachineKeyExists(const std::wstring& key) {
    return host::TheSimulation().machineKeys.count(key) != 0 || Missing();
}

bool MachineValueHasData(const std::wstring& key, const std::wstring& value) {
    return host::TheSimulation().machineValuesWithData.count(ValueName(key, value)) != 0 ||
           Missing();
}

bool ServiceStartType(const std::wstring& service, std::uint32_t& startType) {
    const auto& services = host::TheSimulation().serviceStartTypes;
    const auto found = services.find(service);
    if (found == services.end()) {
        SetLastError(kServiceDoesNotExist);
        return false;
    }
    startType = found->second;
    return true;
}

} // namespace platform
