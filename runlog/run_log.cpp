#include "runlog/run_log.h"

#include "platform/files.h"
#include "platform/system.h"
#include "runlog/log_without_links.h"

#include <cstdio>
#include <vector>

namespace runlog {
namespace {

platform::File g_log;
// The folders of a /log file, held as long as the run logs (OpenLogWithoutLinks).
std::vector<platform::File> g_folders;
std::wstring g_path;
LogStyle g_style = LogStyle::Text;

// Keeps the thread's last error across a log call, whatever the calls inside do to it.
class LastErrorKept {
  public:
    LastErrorKept() : error_(platform::LastError()) {}
    ~LastErrorKept() { platform::SetLastError(error_); }
    LastErrorKept(const LastErrorKept&) = delete;
    LastErrorKept& operator=(const LastErrorKept&) = delete;

  private:
    std::uint32_t error_;
};

std::string TimeStamp() {
    const platform::LocalTime now = platform::LocalTimeNow();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d ", now.year, now.month,
                  now.day, now.hour, now.minute, now.second, now.millisecond);
    return text;
}

} // namespace

std::wstring Quoted(std::wstring_view value) {
    std::wstring out = L"\"";
    for (wchar_t c : value) {
        switch (c) {
        case L'\n':
            out += L"\\n";
            break;
        case L'\r':
            out += L"\\r";
            break;
        case L'"':
            out += L"\\\"";
            break;
        default:
            out.push_back(c);
        }
    }
    return out + L"\"";
}

platform::OpenResult StartRunLog(const std::wstring& path, LogOpening opening,
                                 std::uint32_t& error) {
    const LastErrorKept kept;
    StopRunLog();
    platform::OpenResult result = platform::OpenResult::Failed;
    if (opening == LogOpening::CreateNew) {
        g_log = platform::OpenFileForWriting(path, platform::OpenMode::CreateNewShared, result);
        error = platform::LastError();
    } else {
        g_log = OpenLogWithoutLinks(path, g_folders, error);
    }
    if (!g_log.IsOpen()) {
        return result;
    }
    g_path = path;
    error = 0;
    return platform::OpenResult::Opened;
}

void SetLogStyle(LogStyle style) {
    g_style = style;
}

bool RunLogActive() {
    return g_log.IsOpen();
}

const std::wstring& RunLogPath() {
    return g_path;
}

void StopRunLog() {
    g_log.Close();
    g_folders.clear();
    g_path.clear();
}

void Log(std::wstring_view event, Severity severity) {
    if (!g_log.IsOpen()) {
        return;
    }
    const LastErrorKept kept;
    // One write a line, straight to the system: a run that dies keeps every line before, and
    // runs that share the file keep their lines whole.
    const std::string line =
        g_style == LogStyle::CmTrace
            ? CmTraceLine(platform::Utf8(event), platform::LocalTimeNow(),
                          platform::TimeZoneBiasMinutes(), severity, platform::CurrentThreadId())
            : TimeStamp() + platform::Utf8(event) + "\r\n";
    if (!platform::AppendToFile(g_log, line.data(), line.size())) {
        g_log.Close(); // a log that cannot be written is given up, not retried on every line
    }
}

void LogFailure(std::wstring_view what, std::uint32_t error) {
    if (!g_log.IsOpen()) {
        return;
    }
    Log(std::wstring(what) + L" failed: " + DescribeError(error), Severity::Failure);
}

std::wstring DescribeError(std::uint32_t error) {
    const LastErrorKept kept;
    const std::wstring text = platform::SystemErrorText(error);
    return L"error " + std::to_wstring(error) + (text.empty() ? L"" : L", " + text);
}

} // namespace runlog
