// The steps a run shares whether it installs the patch or removes it: what it holds until its
// last message, the language of a product's messages, Windows Installer's log, the calls of
// Windows Installer at the run's interface level and within its patience, and the tally of
// their results.
#pragma once

#include "install/busy_waits.h"
#include "install/exit_code.h"
#include "install/product.h"
#include "messages/message_ids.h"
#include "payload/patch_copy.h"
#include "platform/files.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace install {

struct InstallResult {
    bool completed = false;      // the run reached its normal end
    std::uint32_t exitCode = 0;  // what the process reports to whoever started it
    const wchar_t* reason = L""; // why that exit code, for the run log
};

// What the command line asks of a run beyond the plain one.
struct InstallSettings {
    bool noRestart = false;        // /norestart: REBOOT=ReallySuppress on every installer call
    std::wstring installerLogStem; // Windows Installer's verbose log, without ".log"; empty: none
};

// What a run holds until its last message: the pack's mutex and the copy of the patch.
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

// Waits for this pack's other runs (PackRunLock) and holds the pack for this one; false, with
// the tally and the thread's last error set to 1618, when another run kept on too long.
bool HoldThePack(RunTally& tally, RunHolds& holds, WaitBudget& budget);

// Lets go, shows `message`, and ends the run short of its normal end.
InstallResult Stop(RunTally& tally, RunHolds& holds, messages::MessageId message);

// Messages about a product appear in its language: the thread locale and the catalogue's
// language move together. A value the platform refuses leaves both as they were; a neutral
// language (an empty Language property reads as 0) means the user's default, as the locale does.
void UseProductLanguage(const ProductRecord& record);
void UseUserLanguage();

// Windows Installer does part of its work in our process and keeps its scratch files in our
// temporary folder; when that folder is missing or out of reach, it is lent the copy's folder.
void LendTemporaryFolder(const std::wstring& copyPath);

// Windows Installer's verbose log, started before the first product is changed: a new file,
// <stem>.log, or <stem>-2.log, -3.log... when another run has the name. It is held from then to
// the end of the run, so that nobody can swap it for a link to another file while the elevated
// installer appends to it.
class InstallerLog {
  public:
    explicit InstallerLog(std::wstring stem);
    void StartOnce();

  private:
    std::wstring stem_;
    bool started_ = false;
    platform::File hold_;
};

// 0, 1641 and 3010: the installer did what it was asked.
bool IsInstallerSuccess(std::uint32_t result);

// One call of Windows Installer for `productCode`, at the basic interface without Cancel (the
// level restored after it), once no other installation is under way; a refusal as busy (1618) is
// tried again after a pause, all within `budget`. Each try's result and time are logged. 1618
// without a call when the budget ran out first.
std::uint32_t CallInstaller(WaitBudget& budget, const std::wstring& productCode,
                            const std::function<std::uint32_t()>& call);

// Adds one installer result to the tally: a restart code, or the run's first failure.
void CountResult(RunTally& tally, std::uint32_t result);

// After 1641 Windows Installer has started a restart of the machine: nothing more may be
// changed under it. Logs the products from `next` on, which are left to a run after it.
void LeaveForRestart(const std::vector<ProductRecord>& products, std::size_t next);

} // namespace install
