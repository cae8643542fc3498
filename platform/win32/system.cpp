#include "platform/system.h"

#include <windows.h>

#include <vector>

namespace platform {

LocalTime LocalTimeNow() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear,   now.wMonth,  now.wDay,         now.wHour,
            now.wMinute, now.wSecond, now.wMilliseconds};
}

int TimeZoneBiasMinutes() {
    TIME_ZONE_INFORMATION zone{};
    const DWORD which = GetTimeZoneInformation(&zone);
    if (which == TIME_ZONE_ID_INVALID) {
        return 0;
    }
    // The standard bias applies too when the zone has no daylight saving (TIME_ZONE_ID_UNKNOWN).
    return static_cast<int>(
        zone.Bias + (which == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : zone.StandardBias));
}

std::uint32_t CurrentThreadId() {
    return GetCurrentThreadId();
}

std::uint64_t MonotonicMicroseconds() {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return static_cast<std::uint64_t>(now.QuadPart / frequency * 1000000 +
                                      now.QuadPart % frequency * 1000000 / frequency);
}

std::wstring SystemErrorText(std::uint32_t code) {
    wchar_t buffer[512] = {};
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
    std::wstring text(buffer, length);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.pop_back();
    }
    return text;
}

std::wstring SystemVersionText() {
    // GetVersionExW answers what the manifest's compatibility section allows; ntdll tells all.
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    using WineVersionFunction = const char*(CDECL*)();
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    const auto rtlGetVersion = reinterpret_cast<RtlGetVersionFunction>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    if (rtlGetVersion == nullptr || rtlGetVersion(&info) != 0) {
        return L"unknown";
    }
    std::wstring text = L"Windows " + std::to_wstring(info.dwMajorVersion) + L"." +
                        std::to_wstring(info.dwMinorVersion) + L" build " +
                        std::to_wstring(info.dwBuildNumber);
    // Under Wine, which Wine: its Windows version is only what the prefix is set to.
    const auto wineVersion = reinterpret_cast<WineVersionFunction>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")));
    if (wineVersion != nullptr) {
        const std::string wine = wineVersion();
        text += L" (Wine " + std::wstring(wine.begin(), wine.end()) + L")";
    }
    return text;
}

std::wstring UserNameText() {
    wchar_t buffer[257] = {};
    DWORD length = static_cast<DWORD>(std::size(buffer));
    if (!GetUserNameW(buffer, &length)) {
        return L"unknown";
    }
    return buffer;
}

Elevation ProcessElevation() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return Elevation::Unknown;
    }
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const BOOL read =
        GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    if (!read) {
        return Elevation::Unknown;
    }
    return elevation.TokenIsElevated != 0 ? Elevation::Elevated : Elevation::NotElevated;
}

std::wstring CommandLineText() {
    return GetCommandLineW();
}

bool EnvironmentVariable(const std::wstring& name, std::wstring& value) {
    const DWORD needed = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (needed == 0) {
        return false;
    }
    std::vector<wchar_t> buffer(needed);
    const DWORD length = GetEnvironmentVariableW(name.c_str(), buffer.data(), needed);
    if (length == 0 || length >= needed) {
        return false;
    }
    value.assign(buffer.data(), length);
    return true;
}

bool SetEnvironmentValue(const std::wstring& name, const std::wstring& value) {
    return SetEnvironmentVariableW(name.c_str(), value.c_str()) != 0;
}

std::uint32_t LastError() {
    return GetLastError();
}

void SetLastError(std::uint32_t code) {
    ::SetLastError(code);
}

} // namespace platform
