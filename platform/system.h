// What the run log tells of the machine and the moment: clock, system, user, error texts.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct LocalTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};
LocalTime LocalTimeNow();

// How far local time is behind UTC now, in minutes, daylight saving included, as Windows counts
// its bias: UTC = local time + bias (-60 in Berlin in winter, 300 in New York).
int TimeZoneBiasMinutes();

// The calling thread's id, as Windows numbers threads.
std::uint32_t CurrentThreadId();

// A clock for durations, unaffected by changes of the time of day.
std::uint64_t MonotonicMicroseconds();

// The system's own text for an error code, one line; empty when it has none.
std::wstring SystemErrorText(std::uint32_t code);

// The operating system's version as it really is (not as a compatibility shim reports it).
std::wstring SystemVersionText();
// The account the process runs as.
std::wstring UserNameText();
enum class Elevation { Elevated, NotElevated, Unknown };
Elevation ProcessElevation();

// The process's command line as it was given, unsplit.
std::wstring CommandLineText();

// The thread's last-error value: a Windows error code, which failed calls leave for the caller
// to tell why.
std::uint32_t LastError();
void SetLastError(std::uint32_t code);

// The process's environment. False when the variable is not set.
bool EnvironmentVariable(const std::wstring& name, std::wstring& value);
// Sets the variable for this process and the processes it starts.
bool SetEnvironmentValue(const std::wstring& name, const std::wstring& value);

} // namespace platform
