#include "platform/ui.h"

#include "platform/win32/system_library.h"

#include <windows.h>

#include <iterator>
#include <string_view>

namespace platform {
namespace {

using SendMessageFunction = BOOL(WINAPI*)(HANDLE server, DWORD session, LPWSTR title,
                                          DWORD titleBytes, LPWSTR message, DWORD messageBytes,
                                          DWORD style, DWORD timeoutSeconds, DWORD* response,
                                          BOOL wait);

using QuerySessionFunction = BOOL(WINAPI*)(HANDLE server, DWORD session, int infoClass,
                                           LPWSTR* buffer, DWORD* bytes);
using FreeMemoryFunction = void(WINAPI*)(void* memory);
constexpr int kSessionUserName = 5;   // WTSUserName
constexpr int kSessionDomainName = 7; // WTSDomainName
// WTS_CURRENT_SERVER_HANDLE: the machine the process runs on.
const HANDLE kThisServer = nullptr;

template <typename Function> Function Entry(const char* name) {
    static const HMODULE terminalServices = win32::SystemLibrary(L"wtsapi32.dll");
    return win32::EntryPoint<Function>(terminalServices, name);
}

std::wstring SessionText(DWORD session, int infoClass) {
    static const auto query = Entry<QuerySessionFunction>("WTSQuerySessionInformationW");
    static const auto release = Entry<FreeMemoryFunction>("WTSFreeMemory");
    LPWSTR buffer = nullptr;
    DWORD bytes = 0;
    if (query == nullptr || release == nullptr ||
        !query(kThisServer, session, infoClass, &buffer, &bytes) || buffer == nullptr) {
        return {};
    }
    std::wstring text = buffer;
    release(buffer);
    return text;
}

DWORD Bytes(const std::wstring& text) {
    return static_cast<DWORD>(text.size() * sizeof(wchar_t));
}

// A box of this thread whose time is up: its timer fires inside MessageBoxW's own message loop,
// which dispatches the thread's timers, and closes the box as its Cancel button or Escape would.
thread_local bool t_boxTimedOut = false;

BOOL CALLBACK CloseDialogWindow(HWND window, LPARAM) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, static_cast<int>(std::size(className)));
    if (std::wstring_view(className) == L"#32770") { // the dialog class a message box is made of
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

VOID CALLBACK TimeIsUp(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    t_boxTimedOut = true;
    EnumThreadWindows(GetCurrentThreadId(), CloseDialogWindow, 0);
}

} // namespace

int ShowMessageBox(const std::wstring& text, const std::wstring& caption, std::uint32_t type,
                   std::uint32_t timeoutMilliseconds) {
    t_boxTimedOut = false;
    const UINT_PTR timer =
        timeoutMilliseconds == 0 ? 0 : SetTimer(nullptr, 0, timeoutMilliseconds, TimeIsUp);
    const int answer = MessageBoxW(nullptr, text.c_str(), caption.c_str(), type);
    if (timer != 0) {
        KillTimer(nullptr, timer);
    }
    return t_boxTimedOut ? kAnswerTimedOut : answer;
}

WindowStation ProcessWindowStation() {
    WindowStation station;
    DWORD session = 0;
    if (ProcessIdToSessionId(GetCurrentProcessId(), &session)) {
        station.session = session;
    }
    HWINSTA handle = GetProcessWindowStation();
    if (handle == nullptr) {
        return station;
    }
    wchar_t name[256] = {};
    if (GetUserObjectInformationW(handle, UOI_NAME, name, sizeof name - sizeof name[0], nullptr)) {
        station.name = name;
    }
    USEROBJECTFLAGS flags{};
    station.visible = GetUserObjectInformationW(handle, UOI_FLAGS, &flags, sizeof flags, nullptr) &&
                      (flags.dwFlags & WSF_VISIBLE) != 0;
    return station;
}

std::wstring SessionUserName(std::uint32_t session) {
    const std::wstring user = SessionText(session, kSessionUserName);
    const std::wstring domain = SessionText(session, kSessionDomainName);
    return user.empty() || domain.empty() ? user : domain + L"\\" + user;
}

bool ShowMessageBoxInSession(std::uint32_t session, const std::wstring& text,
                             const std::wstring& caption, std::uint32_t type,
                             std::uint32_t timeoutSeconds, int& answer) {
    static const auto send = Entry<SendMessageFunction>("WTSSendMessageW");
    if (send == nullptr) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    // The call takes writable buffers, though it only reads them.
    std::wstring title = caption;
    std::wstring message = text;
    DWORD response = 0;
    if (!send(kThisServer, session, title.data(), Bytes(title), message.data(), Bytes(message),
              type, timeoutSeconds, &response, TRUE)) {
        return false;
    }
    answer = static_cast<int>(response);
    return true;
}

} // namespace platform
