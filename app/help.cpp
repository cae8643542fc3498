#include "app/help.h"

#include "messages/message_ids.h"
#include "messages/presenter.h"
#include "payload/resource_store.h"
#include "payload/version_info.h"

namespace app {
namespace {

constexpr std::uint32_t kHelpBox = 0x50040; // OK, information icon, foreground, topmost

} // namespace

void ShowHelp() {
    std::wstring text;
    payload::LoadResString(messages::kHelp, text, messages::kHelpCapacity);
    payload::OwnVersion version;
    payload::ReadOwnVersion(version);
    messages::ShowBox(L"help", text, version.description, kHelpBox);
}

} // namespace app
