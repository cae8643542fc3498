#include "platform/win32/administrators.h"

#include "platform/win32/system_library.h"

#include <lm.h>

#include <iterator>
#include <string>

namespace platform::win32 {

bool IsLocalAdministrator(PSID sid) {
    static const HMODULE netapi = win32::SystemLibrary(L"netapi32.dll");
    static const auto localGroups =
        win32::EntryPoint<decltype(&::NetUserGetLocalGroups)>(netapi, "NetUserGetLocalGroups");
    static const auto release =
        win32::EntryPoint<decltype(&::NetApiBufferFree)>(netapi, "NetApiBufferFree");
    wchar_t name[256] = {};
    wchar_t domain[256] = {};
    DWORD nameLength = static_cast<DWORD>(std::size(name));
    DWORD domainLength = static_cast<DWORD>(std::size(domain));
    SID_NAME_USE use = SidTypeUnknown;
    if (localGroups == nullptr || release == nullptr ||
        !LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use) ||
        use != SidTypeUser) {
        return false;
    }
    // The group's name is the system's language's ("Administratoren").
    BYTE administrators[SECURITY_MAX_SID_SIZE] = {};
    DWORD sidSize = sizeof administrators;
    wchar_t group[256] = {};
    wchar_t groupDomain[256] = {};
    DWORD groupLength = static_cast<DWORD>(std::size(group));
    DWORD groupDomainLength = static_cast<DWORD>(std::size(groupDomain));
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize) ||
        !LookupAccountSidW(nullptr, administrators, group, &groupLength, groupDomain,
                           &groupDomainLength, &use)) {
        return false;
    }
    const std::wstring account = std::wstring(domain) + L"\\" + name;
    LPBYTE buffer = nullptr;
    DWORD entries = 0;
    DWORD total = 0;
    const bool listed = localGroups(nullptr, account.c_str(), 0, LG_INCLUDE_INDIRECT, &buffer,
                                    MAX_PREFERRED_LENGTH, &entries, &total) == NERR_Success;
    const auto* groups = reinterpret_cast<const LOCALGROUP_USERS_INFO_0*>(buffer);
    bool member = false;
    for (DWORD i = 0; listed && i < entries && !member; ++i) {
        member = groups[i].lgrui0_name != nullptr && lstrcmpiW(groups[i].lgrui0_name, group) == 0;
    }
    // The buffer is the caller's to free, even after a failure.
    if (buffer != nullptr) {
        release(buffer);
    }
    return member;
}

} // namespace platform::win32
