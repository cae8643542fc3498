#include "app/jobs.h"

#include "messages/presenter.h"
#include "payload/patch_list.h"
#include "payload/patch_summary.h"
#include "platform/files.h"
#include "platform/system.h"

namespace app {

bool WritePatchList(std::wstring& name, bool* complete) {
    const payload::PatchListOutcome outcome = payload::AppendPatchList(name);
    if (complete != nullptr) {
        *complete = outcome.complete;
    }
    if (outcome.message != messages::kNoMessage) {
        platform::SetLastError(outcome.error);
        messages::ShowMessage(outcome.message);
    }
    return outcome.opened;
}

bool ShowPatchTargets() {
    std::wstring targets;
    const bool read = payload::ReadOwnPatchTargets(targets);
    messages::ShowBox(L"product list", targets, L"List of Products", messages::Box::Plain);
    return read;
}

} // namespace app
