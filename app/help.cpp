#include "app/help.h"

#include "messages/message_ids.h"
#include "messages/presenter.h"
#include "payload/resource_store.h"
#include "payload/version_info.h"

namespace app {

void ShowHelp() {
    std::wstring text;
    payload::LoadResString(messages::kHelp, text, messages::kHelpCapacity);
    payload::OwnVersion version;
    payload::ReadOwnVersion(version);
    messages::ShowBox(L"help", text, version.description, messages::Box::Information);
}

} // namespace app
