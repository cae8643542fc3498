#include "messages/presenter.h"

#include "messages/format.h"
#include "payload/resource_store.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "runlog/run_log.h"

#include <vector>

namespace messages {
namespace {

bool g_quiet = false;
bool g_seen = true;

constexpr wchar_t kUnseen[] = L"not shown: nobody can see this window station";

// Extra room the formatter gets beyond the template.
constexpr std::size_t kFormatSlack = 512;

// Every box type the pack shows, as MessageBoxW's style bits; each in front of every window
// (MB_SETFOREGROUND | MB_TOPMOST).
constexpr struct {
    Box box;
    std::uint32_t type;
} kBoxTypes[] = {
    {Box::Error, 0x50010},       // MB_OK | MB_ICONHAND
    {Box::Information, 0x50040}, // MB_OK | MB_ICONASTERISK
    {Box::RetryCancel, 0x50015}, // MB_RETRYCANCEL | MB_ICONHAND
    {Box::Plain, 0x50000},       // MB_OK
};

std::uint32_t TypeOf(Box box) {
    for (const auto& row : kBoxTypes) {
        if (row.box == box) {
            return row.type;
        }
    }
    return kBoxTypes[0].type;
}

enum class Fill { Nothing, ErrorCode, ProductName };

struct Row {
    MessageId id;
    Fill fill;
    unsigned captionId;
    Box box;
};

// One row per message a job raises. 306 says there is nothing to do, yet carries the error
// icon; only the Polish 301 has a %s, and it gets the product name.
constexpr Row kRows[] = {
    {kInstallFailed, Fill::ErrorCode, kCaptionError, Box::Error},
    {kInstallSucceeded, Fill::ProductName, kCaptionSuccess, Box::Information},
    {kNotNecessary, Fill::ProductName, kCaptionUnnecessary, Box::Error},
    {kNoTargetProduct, Fill::Nothing, kCaptionError, Box::Error},
    {kWrongVersion, Fill::ProductName, kCaptionError, Box::Error},
    {kBadCommandLine, Fill::Nothing, kCaptionError, Box::Error},
    {kNoPatchList, Fill::Nothing, kCaptionError, Box::Error},
    {kRemoved, Fill::Nothing, kCaptionRemoval, Box::Information},
    {kRemovalFailed, Fill::ErrorCode, kCaptionRemoval, Box::Error},
    {kNotInstalled, Fill::Nothing, kCaptionRemoval, Box::Information},
};

constexpr Row kOtherIds = {MessageId{0}, Fill::Nothing, kCaptionError, Box::Error};

const Row& RowOf(MessageId id) {
    for (const Row& row : kRows) {
        if (row.id == id) {
            return row;
        }
    }
    return kOtherIds;
}

std::vector<FormatArgument> ArgumentsOf(MessageId id, std::uint32_t errorCode) {
    switch (RowOf(id).fill) {
    case Fill::ErrorCode:
        return {FormatArgument::Integer(static_cast<std::int32_t>(errorCode))};
    case Fill::ProductName:
        return {FormatArgument::Text(CurrentProductName())};
    case Fill::Nothing:
        break;
    }
    return {};
}

std::wstring AnswerText(int answer) {
    switch (answer) {
    case 1:
        return L"OK";
    case 2:
        return L"Cancel";
    case 4:
        return L"Retry";
    case platform::kAnswerTimedOut:
        return L"none in the time given";
    default:
        return L"none, the box could not be shown (" + std::to_wstring(answer) + L")";
    }
}

// One line for every box, shown or not: what it was, in which language, and what came of it.
void LogBox(std::wstring_view what, const std::wstring& text, const std::wstring& caption,
            const std::wstring& outcome) {
    runlog::Log(L"box " + std::wstring(what) + L", language " +
                std::to_wstring(payload::MessageLanguage()) + L", " + runlog::Quoted(caption) +
                L": " + runlog::Quoted(text) + L"; " + outcome);
}

} // namespace

std::wstring& CurrentProductName() {
    static std::wstring name;
    return name;
}

void SetQuiet(bool quiet) {
    g_quiet = quiet;
}
bool IsQuiet() {
    return g_quiet;
}

void SetBoxesSeen(bool seen) {
    g_seen = seen;
}
bool BoxesSeen() {
    return g_seen;
}

std::wstring MessageText(MessageId id, std::uint32_t errorCode) {
    std::wstring pattern;
    payload::LoadResString(id, pattern, kCatalogueCapacity);
    return FormatTemplate(pattern, ArgumentsOf(id, errorCode), pattern.size() + kFormatSlack);
}

int ShowBox(std::wstring_view what, const std::wstring& text, const std::wstring& caption, Box box,
            std::uint32_t timeoutMilliseconds) {
    if (!g_seen) {
        LogBox(what, text, caption, kUnseen);
        return kNotShown;
    }
    const int answer = platform::ShowMessageBox(text, caption, TypeOf(box), timeoutMilliseconds);
    LogBox(what, text, caption, L"answer: " + AnswerText(answer));
    return answer;
}

int SendBox(std::wstring_view what, std::uint32_t session, const std::wstring& text,
            const std::wstring& caption, Box box, std::uint32_t timeoutSeconds) {
    const std::wstring where = std::wstring(what) + L", sent to session " +
                               std::to_wstring(session) + L" for at most " +
                               std::to_wstring(timeoutSeconds) + L" s";
    int answer = kNotShown;
    if (!platform::ShowMessageBoxInSession(session, text, caption, TypeOf(box), timeoutSeconds,
                                           answer)) {
        const std::uint32_t error = platform::LastError();
        LogBox(where, text, caption,
               L"not sent (" + (error == 0 ? L"no reason given" : runlog::DescribeError(error)) +
                   L")");
        return kNotShown;
    }
    LogBox(where, text, caption, L"answer: " + AnswerText(answer));
    return answer;
}

void ShowMessage(MessageId id) {
    const bool shown = !g_quiet && g_seen;
    if (!shown && !runlog::RunLogActive()) {
        return;
    }
    // Read before anything else can overwrite it.
    const std::uint32_t errorCode = platform::LastError();
    const std::wstring text = MessageText(id, errorCode);
    std::wstring caption;
    payload::LoadResString(RowOf(id).captionId, caption, kCatalogueCapacity);
    if (!shown) {
        LogBox(std::to_wstring(id), text, caption, g_quiet ? L"not shown: quiet" : kUnseen);
        platform::SetLastError(errorCode);
        return;
    }
    ShowBox(std::to_wstring(id), text, caption, RowOf(id).box);
}

} // namespace messages
