#include "app/help.h"

#include "messages/message_ids.h"
#include "messages/presenter.h"
#include "payload/resource_store.h"
#include "payload/version_info.h"

namespace app {

std::wstring HelpText() {
    std::wstring text;
    for (const messages::MessageId id : messages::kHelpParts) {
        std::wstring part;
        payload::LoadResString(id, part, messages::kHelpCapacity);
        text += (text.empty() ? L"" : L"\n") + part;
    }
    return text;
}

void ShowHelp() {
    payload::OwnVersion version;
    payload::ReadOwnVersion(version);
    messages::ShowBox(L"help", HelpText(), version.description, messages::Box::Information);
}

} // namespace app
