// The run log: what a run did, for the administrator of a machine where nobody watched it.
// UTF-8, one event a line: each after the local time to the millisecond, or in the line format
// of CMTrace (/logstyle cmtrace), which ConfigMgr's administrators read their logs with. Nothing
// here changes the run: a log that cannot be created or written is dropped without a word, and no
// call disturbs the thread's last error, which the failure message reads.
#pragma once

#include "platform/files.h"
#include "runlog/cmtrace.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace runlog {

enum class LogOpening {
    CreateNew, // a name in a shared folder: never one that exists, never through a link
    Append,    // the administrator's own file: added to, its content kept; other runs may be
               // writing to it at the same time, and every line stays whole. Never through a
               // link, and its folders are held until the log stops (OpenLogWithoutLinks)
};

// Starts the log at `path`. Anything but Opened leaves the run without a log, with `error`
// telling why; AlreadyExists only for CreateNew.
platform::OpenResult StartRunLog(const std::wstring& path, LogOpening opening,
                                 std::uint32_t& error);
bool RunLogActive();

enum class LogStyle { Text, CmTrace };
// How the lines from now on are written.
void SetLogStyle(LogStyle style);
// The log's path, as it was opened; empty without a log.
const std::wstring& RunLogPath();
void StopRunLog();

void Log(std::wstring_view event, Severity severity = Severity::Info);
// "<what> failed: error <code>, <the system's text for it>", a failure.
void LogFailure(std::wstring_view what, std::uint32_t error);
// "error <code>, <the system's text for it>", or "error <code>" when the system has none.
std::wstring DescribeError(std::uint32_t error);

// Log lines quote values that may hold anything: line breaks become \n and \r, quotes \".
// Backslashes stay as they are, so that paths read as paths.
std::wstring Quoted(std::wstring_view value);

} // namespace runlog
