#include "messages/run_log.h"

#include "platform/files.h"
#include "platform/system.h"

#include <cstdio>

namespace messages {
namespace {

platform::File g_log;
std::wstring g_path;

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

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

} // namespace

std::string Utf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = static_cast<std::uint32_t>(text[i]) & 0xFFFFFFFF;
        if constexpr (sizeof(wchar_t) == 2) {
            c &= 0xFFFF;
            const bool high = c >= 0xD800 && c < 0xDC00;
            const std::uint32_t next =
                i + 1 < text.size() ? static_cast<std::uint32_t>(text[i + 1]) & 0xFFFF : 0;
            if (high && next >= 0xDC00 && next < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
                ++i;
            } else if (c >= 0xD800 && c < 0xE000) {
                c = 0xFFFD;
            }
        } else if ((c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

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
    platform::OpenResult result;
    g_log = platform::OpenFileForWriting(path,
                                         opening == LogOpening::CreateNew
                                             ? platform::OpenMode::CreateNewShared
                                             : platform::OpenMode::AppendShared,
                                         result);
    if (!g_log.IsOpen()) {
        error = platform::LastError();
        return result;
    }
    g_path = path;
    error = 0;
    return platform::OpenResult::Opened;
}

bool RunLogActive() {
    return g_log.IsOpen();
}

const std::wstring& RunLogPath() {
    return g_path;
}

void StopRunLog() {
    g_log.Close();
    g_path.clear();
}

void Log(std::wstring_view event) {
    if (!g_log.IsOpen()) {
        return;
    }
    const LastErrorKept kept;
    // One write a line, straight to the system: a run that dies keeps every line before, and
    // runs that share the file keep their lines whole.
    const std::string line = TimeStamp() + Utf8(event) + "\r\n";
    if (!platform::AppendToFile(g_log, line.data(), line.size())) {
        g_log.Close(); // a log that cannot be written is given up, not retried on every line
    }
}

void LogFailure(std::wstring_view what, std::uint32_t error) {
    if (!g_log.IsOpen()) {
        return;
    }
    Log(std::wstring(what) + L" failed: " + DescribeError(error));
}

std::wstring DescribeError(std::uint32_t error) {
    const LastErrorKept kept;
    const std::wstring text = platform::SystemErrorText(error);
    return L"error " + std::to_wstring(error) + (text.empty() ? L"" : L", " + text);
}

} // namespace messages
