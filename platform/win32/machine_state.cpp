#include "platform/machine_state.h"

#include <windows.h>

#include <vector>

namespace platform {
namespace {

// Read only, and the 64-bit view whatever the process: policies live there.
constexpr REGSAM kRead = KEY_QUERY_VALUE | KEY_WOW64_64KEY;

class Key {
  public:
    explicit Key(const std::wstring& path) {
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, kRead, &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    ~Key() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY Get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

class ServiceHandle {
  public:
    explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
    // Closed after a failing call: the call's error is the one the caller reads.
    ~ServiceHandle() {
        if (handle_ != nullptr) {
            const DWORD error = GetLastError();
            CloseServiceHandle(handle_);
            SetLastError(error);
        }
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    SC_HANDLE Get() const { return handle_; }

  private:
    SC_HANDLE handle_;
};

} // namespace

bool MachineDword(const std::wstring& key, const std::wstring& value, std::uint32_t& data) {
    const Key opened(key);
    if (opened.Get() == nullptr) {
        return false;
    }
    DWORD type = 0;
    DWORD read = 0;
    DWORD size = sizeof read;
    if (RegQueryValueExW(opened.Get(), value.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(&read), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof read) {
        return false;
    }
    data = read;
    return true;
}

bool MachineKeyExists(const std::wstring& key) {
    return Key(key).Get() != nullptr;
}

bool MachineValueHasData(const std::wstring& key, const std::wstring& value) {
    const Key opened(key);
    DWORD size = 0;
    // An empty REG_MULTI_SZ still holds its final terminator: two NULs, or one.
    return opened.Get() != nullptr &&
           RegQueryValueExW(opened.Get(), value.c_str(), nullptr, nullptr, nullptr, &size) ==
               ERROR_SUCCESS &&
           size > 2 * sizeof(wchar_t);
}

bool ServiceStartType(const std::wstring& service, std::uint32_t& startType) {
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (manager.Get() == nullptr) {
        return false;
    }
    const ServiceHandle opened(OpenServiceW(manager.Get(), service.c_str(), SERVICE_QUERY_CONFIG));
    if (opened.Get() == nullptr) {
        return false;
    }
    DWORD needed = 0;
    QueryServiceConfigW(opened.Get(), nullptr, 0, &needed);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return false;
    }
    std::vector<BYTE> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(opened.Get(), config, needed, &needed)) {
        return false;
    }
    startType = config->dwStartType;
    return true;
}

} // namespace platform
