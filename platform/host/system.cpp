// The machine facts of the host build: the real time of day, the simulated rest.
#include "platform/system.h"

#include "platform/host/simulation.h"

#include <chrono>
#include <cstdlib>
#include <ctime>

namespace platform {
namespace {

thread_local std::uint32_t t_lastError = 0;

} // namespace

LocalTime LocalTimeNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    return {local.tm_year + 1900,
            local.tm_mon + 1,
            local.tm_mday,
            local.tm_hour,
            local.tm_min,
            local.tm_sec,
            static_cast<int>(milliseconds)};
}

int TimeZoneBiasMinutes() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return static_cast<int>(-local.tm_gmtoff / 60);
}

std::uint32_t CurrentThreadId() {
    return 1; // the simulated process has one thread
}

std::uint64_t MonotonicMicroseconds() {
    // The simulated machine's own clock: only waits and pauses move it, so tests of durations
    // read exact values.
    return host::TheSimulation().clockMicroseconds;
}

std::wstring SystemErrorText(std::uint32_t) {
    return {};
}

std::wstring SystemVersionText() {
    return L"host simulation";
}

std::wstring UserNameText() {
    return host::TheSimulation().userName;
}

Elevation ProcessElevation() {
    return host::TheSimulation().elevated ? Elevation::Elevated : Elevation::NotElevated;
}

std::wstring CommandLineText() {
    std::wstring text;
    for (const std::wstring& argument : host::TheSimulation().commandLine) {
        text += (text.empty() ? L"" : L" ") + argument;
    }
    return text;
}

std::uint32_t LastError() {
    return t_lastError;
}

void SetLastError(std::uint32_t code) {
    t_lastError = code;
}

bool EnvironmentVariable(const std::wstring& name, std::wstring& value) {
    const char* found = std::getenv(Utf8(name).c_str());
    if (found == nullptr) {
        return false;
    }
    value = FromUtf8(found);
    return true;
}

bool SetEnvironmentValue(const std::wstring& name, const std::wstring& value) {
    return ::setenv(Utf8(name).c_str(), Utf8(value).c_str(), 1) == 0;
}

} // namespace platform
