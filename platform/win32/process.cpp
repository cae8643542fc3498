#include "platform/process.h"

#include "platform/win32/module.h"
#include "platform/win32/system_library.h"

#include <windows.h>

#include <shellapi.h>
#include <tlhelp32.h>
#include <wtsapi32.h>

namespace platform {

void SetModule(void* module) {
    win32::g_module = static_cast<HMODULE>(module);
}

bool CommandLineArguments(std::vector<std::wstring>& arguments) {
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(GetCommandLineW(), &count);
    if (split == nullptr) {
        return false;
    }
    arguments.assign(split, split + count);
    LocalFree(split);
    return true;
}

bool ProcessSnapshot(std::vector<ProcessEntry>& processes) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return false;
    }
    processes.clear();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        processes.push_back({entry.th32ProcessID, entry.szExeFile});
        entry = PROCESSENTRY32W{};
        entry.dwSize = sizeof entry;
    }
    CloseHandle(snapshot);
    return true;
}

bool ProcessSessions(std::vector<ProcessSession>& sessions) {
    static const HMODULE terminalServices = win32::SystemLibrary(L"wtsapi32.dll");
    static const auto enumerate = win32::EntryPoint<decltype(&::WTSEnumerateProcessesW)>(
        terminalServices, "WTSEnumerateProcessesW");
    static const auto release =
        win32::EntryPoint<decltype(&::WTSFreeMemory)>(terminalServices, "WTSFreeMemory");
    if (enumerate == nullptr || release == nullptr) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    // WTS_CURRENT_SERVER_HANDLE; the reserved value 0 and version 1, as the call requires.
    WTS_PROCESS_INFOW* listed = nullptr;
    DWORD count = 0;
    if (!enumerate(WTS_CURRENT_SERVER_HANDLE, 0, 1, &listed, &count)) {
        return false;
    }
    sessions.clear();
    for (DWORD i = 0; i < count; ++i) {
        sessions.push_back({listed[i].ProcessId, listed[i].SessionId});
    }
    release(listed);
    return true;
}

bool SessionOfProcess(std::uint32_t processId, std::uint32_t& session) {
    DWORD found = 0;
    if (!ProcessIdToSessionId(processId, &found)) {
        return false;
    }
    session = found;
    return true;
}

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

bool SetThreadLocaleId(std::uint32_t localeId) {
    return SetThreadLocale(localeId) != 0;
}

void SetThreadUiLanguage(std::uint16_t languageId) {
    SetThreadUILanguage(languageId);
}

} // namespace platform
