#include "messages/presenter.h"

#include "messages/format.h"
#include "messages/run_log.h"
#include "payload/resource_store.h"
#include "platform/files.h"
#include "platform/ui.h"

#include <vector>

namespace messages {
namespace {

bool g_quiet = false;
bool g_seen = true;

constexpr wchar_t kUnseen[] = L"not shown: nobody can see this window station";

// Extra room the formatter gets beyond the template.
constexpr std::size_t kFormatSlack = 512;

enum class Fill { Nothing, ErrorCode, ProductName };

struct Row {
    MessageId id;
    Fill fill;
    MessageStyle style;
};

// One row per message a job raises. 306 says there is nothing to do, yet carries the error
// icon; only the Polish 301 has a %s, and it gets the product name.
constexpr Row kRows[] = {
    {kInstallFailed, Fill::ErrorCode, {kCaptionError, kBoxError}},
    {kInstallSucceeded, Fill::ProductName, {kCaptionSuccess, kBoxInformation}},
    {kNotNecessary, Fill::ProductName, {kCaptionUnnecessary, kBoxError}},
    {kNoTargetProduct, Fill::Nothing, {kCaptionError, kBoxError}},
    {kWrongVersion, Fill::ProductName, {kCaptionError, kBoxError}},
    {kBadCommandLine, Fill::Nothing, {kCaptionError, kBoxError}},
    {kNoPatchList, Fill::Nothing, {kCaptionError, kBoxError}},
    {kRemoved, Fill::Nothing, {kCaptionRemoval, kBoxInformation}},
    {kRemovalFailed, Fill::ErrorCode, {kCaptionRemoval, kBoxError}},
    {kNotInstalled, Fill::Nothing, {kCaptionRemoval, kBoxInformation}},
};

constexpr Row kOtherIds = {MessageId{0}, Fill::Nothing, {kCaptionError, kBoxError}};

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
    Log(L"box " + std::wstring(what) + L", language " +
        std::to_wstring(payload::MessageLanguage()) + L", " + Quoted(caption) + L": " +
        Quoted(text) + L"; " + outcome);
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

MessageStyle StyleOf(MessageId id) {
    return RowOf(id).style;
}

std::wstring MessageText(MessageId id, std::uint32_t errorCode) {
    std::wstring pattern;
    payload::LoadResString(id, pattern, kCatalogueCapacity);
    return FormatTemplate(pattern, ArgumentsOf(id, errorCode), pattern.size() + kFormatSlack);
}

int ShowBox(std::wstring_view what, const std::wstring& text, const std::wstring& caption,
            std::uint32_t type) {
    if (!g_seen) {
        LogBox(what, text, caption, kUnseen);
        return kNotShown;
    }
    const int answer = platform::ShowMessageBox(text, caption, type);
    LogBox(what, text, caption, L"answer: " + AnswerText(answer));
    return answer;
}

int SendBox(std::wstring_view what, std::uint32_t session, const std::wstring& text,
            const std::wstring& caption, std::uint32_t type, std::uint32_t timeoutSeconds) {
    const std::wstring where = std::wstring(what) + L", sent to session " +
                               std::to_wstring(session) + L" for at most " +
                               std::to_wstring(timeoutSeconds) + L" s";
    int answer = kNotShown;
    if (!platform::ShowMessageBoxInSession(session, text, caption, type, timeoutSeconds, answer)) {
        const std::uint32_t error = platform::LastError();
        LogBox(where, text, caption,
               L"not sent (" + (error == 0 ? L"no reason given" : DescribeError(error)) + L")");
        return kNotShown;
    }
    LogBox(where, text, caption, L"answer: " + AnswerText(answer));
    return answer;
}

void ShowMessage(MessageId id) {
    const bool shown = !g_quiet && g_seen;
    if (!shown && !RunLogActive()) {
        return;
    }
    // Read before anything else can overwrite it.
    const std::uint32_t errorCode = platform::LastError();
    const std::wstring text = MessageText(id, errorCode);
    std::wstring caption;
    payload::LoadResString(StyleOf(id).captionId, caption, kCatalogueCapacity);
    if (!shown) {
        LogBox(std::to_wstring(id), text, caption, g_quiet ? L"not shown: quiet" : kUnseen);
        platform::SetLastError(errorCode);
        return;
    }
    ShowBox(std::to_wstring(id), text, caption, StyleOf(id).boxType);
}

} // namespace messages
