// Who counts as an administrator of this machine.
#pragma once

#include <windows.h>

namespace platform::win32 {

// Whether the account `sid` is a member of the local Administrators group, directly or through a
// domain group (NetUserGetLocalGroups with LG_INCLUDE_INDIRECT). False when it cannot be told: an
// account that cannot be looked up (say, its domain controller unreachable) is not taken on trust.
bool IsLocalAdministrator(PSID sid);

} // namespace platform::win32
