#include "app/help.h"

#include "app/logging.h"
#include "messages/format.h"
#include "messages/message_ids.h"
#include "messages/presenter.h"
#include "payload/resource_store.h"
#include "payload/version_info.h"

namespace app {
namespace {

// Where Windows keeps the temporary files of SYSTEM, which deployment tools run the pack as.
constexpr wchar_t kSystemTempFolder[] = L"C:\\Windows\\Temp";

// The help's line about this pack; empty where the pack's version or patch code is missing (a
// base, or a pack spoilt), since a line with blanks in it would tell nothing.
std::wstring PackPart(const std::wstring& pattern) {
    std::wstring version;
    std::wstring patchCode;
    if (payload::LoadResString(messages::kTargetVersion, version, messages::kCatalogueCapacity) ==
            0 ||
        payload::LoadResString(messages::kPatchCode, patchCode, messages::kCatalogueCapacity) ==
            0) {
        return {};
    }
    using messages::FormatArgument;
    return messages::FormatTemplate(pattern,
                                    {FormatArgument::Text(version), FormatArgument::Text(patchCode),
                                     FormatArgument::Text(DefaultLogPlace(version)),
                                     FormatArgument::Text(kSystemTempFolder)},
                                    messages::kHelpCapacity);
}

} // namespace

std::wstring HelpText() {
    std::wstring text;
    for (const messages::MessageId id : messages::kHelpParts) {
        std::wstring part;
        payload::LoadResString(id, part, messages::kHelpCapacity);
        if (id == messages::kHelpPack) {
            part = PackPart(part);
        }
        if (!part.empty()) {
            text += (text.empty() ? L"" : L"\n") + part;
        }
    }
    return text;
}

void ShowHelp() {
    payload::OwnVersion version;
    payload::ReadOwnVersion(version);
    messages::ShowBox(L"help", HelpText(), version.description, messages::Box::Information);
}

} // namespace app
