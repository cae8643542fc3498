// Where a run's log goes, and what it says of the run at its start and at its end.
#pragma once

#include "app/run_options.h"
#include "platform/system.h"
#include "platform/ui.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace app {

// A default run logs to the temporary folder, as corvath-sp-<target version>-<yyyyMMdd-HHmmss>
// .log (/uninstall: corvath-sp-<target version>-uninstall-<stamp>.log), a new file (-2, -3... when
// runs share the second); /log names a file of the administrator's, appended to and shared with
// other runs (/log without a name, or a place that cannot be used: the temporary folder); /e, /p,
// /i and /? keep a log only with /log, or where nobody can see their boxes (on `station`, as
// platform::PersonCanSee tells), since the log is then all they leave; a refused command line
// always keeps one. Then the run's facts: the pack, the command line, the switches, the arguments
// refused and those after /i left unread, the system, the user and whether the process is
// elevated, the window station and the session.
void StartLogging(const RunOptions& options, const platform::WindowStation& station);

// Where Windows Installer's log goes: beside a run log in the default place, <run log without
// .log>.installer; with a /log file, in the default place under the default log's name,
// <default log without .log>.installer. The installation adds .log (or -2.log, -3.log... when that
// is taken). Empty without a run log.
std::wstring InstallerLogStem();

// The exit code, why, and how long the run took; closes the log.
void FinishLogging(std::uint32_t exitCode, std::wstring_view reason, std::uint64_t startedAt);

// The default log's file name for a pack bringing `targetVersion`, started at `at`.
std::wstring DefaultLogName(const std::wstring& targetVersion, const platform::LocalTime& at);

// Where a default run logs, as the help tells administrators: the temporary folder by its
// variable, and the name with its stamp's pattern.
std::wstring DefaultLogPlace(const std::wstring& targetVersion);

// The switches the parser chose, as the log states them.
std::wstring DescribeSwitches(const RunOptions& options);

} // namespace app
