// corvath-agent: a Windows service that runs one program as a deployment agent does (ConfigMgr's,
// Intune's): from the service's own window station and desktop, which nobody can see, and kills
// it when it outlives its time. For the Wine tests of a pack deployed as SYSTEM.
//
//   sc create corvath-agent binPath= "C:\corvath-agent.exe C:\result.txt 60 C:\pack.exe /q"
//   sc start corvath-agent
//
// The service writes RESULT (made whole at once, by a rename) and stops:
//   station=<window station name>
//   visible=<1 when the station is visible (WSF_VISIBLE), else 0>
//   session=<the service's session id>
//   exit=<the program's exit code> | exit=killed | exit=not-started <error>
//   milliseconds=<how long the program ran>
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

wchar_t kServiceName[] = L"corvath-agent";
SERVICE_STATUS_HANDLE g_status = nullptr;

void Report(DWORD state, DWORD exitCode = NO_ERROR) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwWin32ExitCode = exitCode;
    SetServiceStatus(g_status, &status);
}

DWORD WINAPI Control(DWORD, DWORD, void*, void*) {
    return NO_ERROR; // nothing to stop early: the program's own time limit ends the run
}

// One argument as CommandLineToArgvW reads it back.
std::wstring Quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

std::string Station() {
    HWINSTA station = GetProcessWindowStation();
    wchar_t name[256] = {};
    USEROBJECTFLAGS flags{};
    GetUserObjectInformationW(station, UOI_NAME, name, sizeof name, nullptr);
    const BOOL read = GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr);
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    char text[600] = {};
    std::snprintf(text, sizeof text, "station=%ls\nvisible=%d\nsession=%lu\n", name,
                  read && (flags.dwFlags & WSF_VISIBLE) ? 1 : 0,
                  static_cast<unsigned long>(session));
    return text;
}

void WriteResult(const std::wstring& path, const std::string& text) {
    const std::wstring partial = path + L".partial";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
    g_status = RegisterServiceCtrlHandlerExW(kServiceName, Control, nullptr);
    Report(SERVICE_RUNNING);

    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count < 4) {
        Report(SERVICE_STOPPED, ERROR_BAD_ARGUMENTS);
        return;
    }
    const std::wstring result = arguments[1];
    const DWORD seconds = wcstoul(arguments[2], nullptr, 10);
    std::wstring commandLine;
    for (int i = 3; i < count; ++i) {
        commandLine += (i > 3 ? L" " : L"") + Quoted(arguments[i]);
    }
    LocalFree(arguments);

    std::string text = Station();
    // No desktop named: the program gets the service's own, as an agent's installers do.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back(L'\0');
    const ULONGLONG started = GetTickCount64();
    if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        text += "exit=not-started " + std::to_string(GetLastError()) + "\n";
    } else {
        if (WaitForSingleObject(process.hProcess, seconds * 1000) == WAIT_TIMEOUT) {
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, 5000);
            text += "exit=killed\n";
        } else {
            DWORD exitCode = 0;
            GetExitCodeProcess(process.hProcess, &exitCode);
            text += "exit=" + std::to_string(exitCode) + "\n";
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    text += "milliseconds=" + std::to_string(GetTickCount64() - started) + "\n";
    WriteResult(result, text);
    Report(SERVICE_STOPPED);
}

} // namespace

int main() {
    SERVICE_TABLE_ENTRYW services[] = {{kServiceName, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(services) ? 0 : 1;
}
