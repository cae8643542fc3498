// What a run holds until its last message, and how it lets go of it: the pack's mutex and the
// copy of the patch.
#pragma once

#include "install/busy_waits.h"
#include "install/exit_code.h"
#include "messages/message_ids.h"
#include "payload/patch_copy.h"

namespace install {

struct RunHolds {
    PackRunLock lock;
    payload::PatchCopy copy;

    // Before the last box: a box can stay up for hours, nothing reads the copy again, and
    // another run of the pack need not wait for somebody to answer this one.
    void LetGo() {
        copy.Remove();
        lock.Release();
    }
};

// Waits for this pack's other runs and holds the pack for this one; false, with the tally and
// the thread's last error set to 1618, when another run kept on too long.
bool HoldThePack(PackRunLock& lock, WaitBudget& budget, RunTally& tally);

// Lets go, shows `message`, and ends the run short of its normal end.
InstallResult Stop(RunHolds& holds, const RunTally& tally, messages::MessageId message);

} // namespace install
