#include "install/run_holds.h"

#include "messages/presenter.h"
#include "payload/resource_store.h"
#include "platform/files.h"
#include "platform/system.h"

namespace install {

bool HoldThePack(PackRunLock& lock, WaitBudget& budget, RunTally& tally) {
    std::wstring patchCode;
    payload::LoadResString(messages::kPatchCode, patchCode, messages::kCatalogueCapacity);
    if (lock.Acquire(patchCode, budget)) {
        return true;
    }
    tally.anotherRunKeptOn = true;
    platform::SetLastError(kExitAlreadyRunning);
    return false;
}

InstallResult Stop(RunHolds& holds, const RunTally& tally, messages::MessageId message) {
    holds.LetGo();
    messages::ShowMessage(message);
    return {false, ExitCodeFor(tally), ExitReasonFor(tally)};
}

} // namespace install
