#include "platform/sync.h"

#include "platform/win32/administrators.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <vector>

namespace platform {
namespace {

// Protected from inherited entries: SYSTEM and Administrators may do anything, nobody else
// anything at all. Waiting on a mutex is owning it once it is free, so a right to wait would let
// any user take the name from the deployment's runs and keep it, making every run as SYSTEM wait
// and end with 1618.
constexpr wchar_t kGlobalMutexSecurity[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";
// A refused creation and the opening after it race with the last holder closing the name.
constexpr int kOpenAttempts = 3;

HANDLE AsHandle(std::intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}

Mutex Owned(HANDLE handle, const std::wstring& fullName) {
    return Mutex(reinterpret_cast<std::intptr_t>(handle), fullName);
}

// One that refuses us full access: for waiting, with its owner readable where it allows that.
HANDLE OpenToWait(const std::wstring& fullName) {
    HANDLE handle = OpenMutexW(SYNCHRONIZE | READ_CONTROL, FALSE, fullName.c_str());
    if (handle == nullptr && GetLastError() == ERROR_ACCESS_DENIED) {
        handle = OpenMutexW(SYNCHRONIZE, FALSE, fullName.c_str());
    }
    return handle;
}

std::wstring SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) {
        return {};
    }
    std::wstring copy = text;
    LocalFree(text);
    return copy;
}

// The account's own SIDs: the user, and the owner its new objects get.
bool IsThisAccount(PSID sid) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return false;
    }
    bool same = false;
    for (const TOKEN_INFORMATION_CLASS kind : {TokenUser, TokenOwner}) {
        DWORD size = 0;
        GetTokenInformation(token, kind, nullptr, 0, &size);
        std::vector<std::byte> buffer(size);
        if (size == 0 || !GetTokenInformation(token, kind, buffer.data(), size, &size)) {
            continue;
        }
        const PSID own = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid
                                           : reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
        same = same || EqualSid(sid, own);
    }
    CloseHandle(token);
    return same;
}

} // namespace

void Mutex::Close() {
    if (handle_ != kNone) {
        CloseHandle(AsHandle(handle_));
        handle_ = kNone;
    }
}

Mutex CreateGlobalMutex(const std::wstring& name, MutexOpening& opening) {
    const std::wstring fullName = L"Global\\" + name;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kGlobalMutexSecurity, SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        return {};
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    HANDLE handle = nullptr;
    for (int attempt = 1; attempt <= kOpenAttempts && handle == nullptr; ++attempt) {
        // Opening an existing one asks for full access, and takes no account of the security.
        handle = CreateMutexW(&attributes, FALSE, fullName.c_str());
        if (handle != nullptr) {
            opening = GetLastError() == ERROR_ALREADY_EXISTS ? MutexOpening::Opened
                                                             : MutexOpening::Created;
            break;
        }
        if (GetLastError() != ERROR_ACCESS_DENIED) {
            break;
        }
        handle = OpenToWait(fullName);
        opening = MutexOpening::WaitOnly;
        if (handle == nullptr && GetLastError() != ERROR_FILE_NOT_FOUND) {
            break;
        }
    }
    const DWORD error = GetLastError();
    LocalFree(descriptor);
    SetLastError(error);
    return handle == nullptr ? Mutex() : Owned(handle, fullName);
}

ObjectOwner OwnerOf(const Mutex& mutex) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(AsHandle(mutex.Handle()), SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION,
                        &owner, nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS ||
        owner == nullptr) {
        return {};
    }
    ObjectOwner found;
    found.sid = SidText(owner);
    if (IsWellKnownSid(owner, WinLocalSystemSid) ||
        IsWellKnownSid(owner, WinBuiltinAdministratorsSid)) {
        found.kind = OwnerKind::SystemOrAdministrators;
    } else if (IsThisAccount(owner)) {
        found.kind = OwnerKind::ThisAccount;
    } else {
        found.kind =
            win32::IsLocalAdministrator(owner) ? OwnerKind::Administrator : OwnerKind::Other;
    }
    LocalFree(descriptor);
    return found;
}

Mutex OpenMutexToWaitOn(const std::wstring& fullName) {
    HANDLE handle = OpenMutexW(SYNCHRONIZE, FALSE, fullName.c_str());
    return handle == nullptr ? Mutex() : Owned(handle, fullName);
}

WaitResult WaitForMutex(Mutex& mutex, std::uint32_t milliseconds) {
    switch (WaitForSingleObject(AsHandle(mutex.Handle()), milliseconds)) {
    case WAIT_OBJECT_0:
        return WaitResult::Acquired;
    case WAIT_ABANDONED:
        return WaitResult::Abandoned;
    case WAIT_TIMEOUT:
        return WaitResult::TimedOut;
    default:
        return WaitResult::Failed;
    }
}

bool LetGoOfMutex(Mutex& mutex) {
    if (ReleaseMutex(AsHandle(mutex.Handle()))) {
        return true;
    }
    // Ownership belongs to the thread, not the handle: should a handle opened for waiting alone
    // be refused, a second handle with the right to change the mutex lets go of it.
    if (GetLastError() != ERROR_ACCESS_DENIED) {
        return false;
    }
    HANDLE modify = OpenMutexW(MUTEX_MODIFY_STATE, FALSE, mutex.Name().c_str());
    if (modify == nullptr) {
        return false;
    }
    const BOOL released = ReleaseMutex(modify);
    CloseHandle(modify);
    return released != 0;
}

void Pause(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

} // namespace platform
