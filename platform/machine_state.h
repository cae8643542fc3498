// What the machine's administrator and its last updates left in the registry and the service
// manager: the values the run reads before it changes a product, never writes.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A REG_DWORD value of a key under HKEY_LOCAL_MACHINE (the 64-bit view). False when the key or
// the value is not there, or the value is no REG_DWORD.
bool MachineDword(const std::wstring& key, const std::wstring& value, std::uint32_t& data);

// Whether a key under HKEY_LOCAL_MACHINE (the 64-bit view) is there.
bool MachineKeyExists(const std::wstring& key);

// Whether a value of a key under HKEY_LOCAL_MACHINE holds anything: a REG_MULTI_SZ with at least
// one string, say.
bool MachineValueHasData(const std::wstring& key, const std::wstring& value);

// A service's start type as the service control manager has it (SERVICE_AUTO_START 2,
// SERVICE_DEMAND_START 3, SERVICE_DISABLED 4...). False, with the reason as the last error, when
// it cannot be read.
bool ServiceStartType(const std::wstring& service, std::uint32_t& startType);

} // namespace platform
