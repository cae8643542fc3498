// The calls of Windows Installer that change a product: at the run's interface level, within
// its patience with other installations, and what their answers mean for the rest of the run.
#pragma once

#include "install/busy_waits.h"
#include "install/product.h"
#include "install/run_settings.h"
#include "messages/message_ids.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace install {

// 0, 1641 and 3010: the installer did what it was asked.
bool IsInstallerSuccess(std::uint32_t result);

// The interface the calls after this give Windows Installer where a person can see it (the
// basic one until told).
void UseInstallerUi(InstallerUi ui);

// One call of Windows Installer for `productCode`, once no other installation is under way; a
// refusal as busy (1618) is tried again after a pause, all within `budget`. The interface level
// is set just around the call: the one UseInstallerUi chose, or none where nobody could see it.
// Each try's level, result and time are logged. 1618 without a call when the budget ran out
// first.
std::uint32_t CallInstaller(WaitBudget& budget, const std::wstring& productCode,
                            const std::function<std::uint32_t()>& call);

// Reports one product's result: `done` after success (0, 1641, 3010), else `failed`, whose error
// code is the result.
void ReportResult(std::uint32_t result, messages::MessageId done, messages::MessageId failed);

// Windows Installer does part of its work in our process and keeps its scratch files in our
// temporary folder; when that folder is missing or out of reach, it is lent the copy's folder.
void LendTemporaryFolder(const std::wstring& copyPath);

// True after 1641: Windows Installer has started a restart of the machine, and nothing more may
// be changed under it. Logs the products from `next` on, which are left to a run after it.
bool RestartStarted(std::uint32_t result, const std::vector<ProductRecord>& products,
                    std::size_t next);

} // namespace install
