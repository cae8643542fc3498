// Where a run's log goes, and what it says of the run at its start and at its end.
#pragma once

#include "app/run_options.h"
#include "platform/system.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace app {

// A default run logs to the temporary folder, as corvath-sp-<target version>-<yyyyMMdd-HHmmss>
// .log, a new file; /log names a file of the administrator's, appended to (/log without a name:
// the temporary folder); /e, /p, /i and /? keep a log only with /log. Then the run's facts: the
// pack, the command line, the switches, the system, the user and whether the process is elevated.
void StartLogging(const RunOptions& options);

// Windows Installer's log beside the run log: <run log without .log>.installer.log; empty
// without a run log.
std::wstring InstallerLogPath();

// The exit code, why, and how long the run took; closes the log.
void FinishLogging(std::uint32_t exitCode, std::wstring_view reason, std::uint64_t startedAt);

// The default log's file name for a pack bringing `targetVersion`, started at `at`.
std::wstring DefaultLogName(const std::wstring& targetVersion, const platform::LocalTime& at);

// The switches the parser chose, as the log states them.
std::wstring DescribeSwitches(const RunOptions& options);

} // namespace app
