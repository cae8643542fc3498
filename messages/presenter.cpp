#include "messages/presenter.h"

#include "messages/format.h"
#include "payload/resource_store.h"
#include "platform/files.h"
#include "platform/ui.h"

#include <vector>

namespace messages {
namespace {

bool g_quiet = false;

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

MessageStyle StyleOf(MessageId id) {
    return RowOf(id).style;
}

std::wstring MessageText(MessageId id, std::uint32_t errorCode) {
    std::wstring pattern;
    payload::LoadResString(id, pattern, kCatalogueCapacity);
    return FormatTemplate(pattern, ArgumentsOf(id, errorCode), pattern.size() + kFormatSlack);
}

void ShowMessage(MessageId id) {
    if (g_quiet) {
        return;
    }
    // Read before anything else can overwrite it.
    const std::uint32_t errorCode = platform::LastError();
    const std::wstring text = MessageText(id, errorCode);
    std::wstring caption;
    payload::LoadResString(StyleOf(id).captionId, caption, kCatalogueCapacity);
    platform::ShowMessageBox(text, caption, StyleOf(id).boxType);
}

} // namespace messages
