#include "install/installer_log.h"

#include "payload/temp_name.h"
#include "platform/msi.h"
#include "platform/system.h"
#include "runlog/run_log.h"

namespace install {

InstallerLog::InstallerLog(std::wstring stem) : stem_(std::move(stem)) {}

void InstallerLog::StartOnce() {
    if (started_ || stem_.empty()) {
        return;
    }
    started_ = true;
    // The elevated installer appends to whatever the name leads to: the file is made here, new
    // (never through a link that holds the name), and held until the run ends.
    std::wstring path;
    platform::OpenResult result = platform::OpenResult::AlreadyExists;
    for (int attempt = 1;
         attempt <= payload::kNumberedNameAttempts && result == platform::OpenResult::AlreadyExists;
         ++attempt) {
        path = payload::NumberedName(stem_, attempt, L".log");
        hold_ = platform::CreateFileForAnotherWriter(path, result);
    }
    if (!hold_.IsOpen()) {
        runlog::LogFailure(L"making Windows Installer's log " + runlog::Quoted(path),
                           platform::LastError());
        return;
    }
    const std::uint32_t enabled = platform::MsiEnableVerboseLog(path);
    if (enabled != platform::kErrorSuccess) {
        runlog::LogFailure(L"starting Windows Installer's log " + runlog::Quoted(path), enabled);
        return;
    }
    runlog::Log(L"Windows Installer's verbose log: " + runlog::Quoted(path));
}

} // namespace install
