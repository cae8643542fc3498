#include "app/dispatch.h"

#include "app/help.h"
#include "app/jobs.h"
#include "app/logging.h"
#include "install/exit_code.h"
#include "install/product.h"
#include "install/run_install.h"
#include "install/uninstall.h"
#include "messages/presenter.h"
#include "payload/base_marker.h"
#include "payload/extract_patch.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "runlog/run_log.h"

namespace app {
namespace {

// /e, /p, /i and /uninstall, each if asked, in that order. Each job runs whatever became of the
// one before; any that failed fails the run.
void RunSwitchJobs(RunOptions& options, const install::InstallSettings& settings,
                   std::uint32_t& exitCode, std::wstring& reason) {
    std::wstring failed;
    if (options.extractRequested && !payload::ExtractPatch(options.extractPath)) {
        runlog::LogFailure(L"/e: writing the patch to " + runlog::Quoted(options.extractPath),
                           platform::LastError());
        failed += L" /e";
    }
    if (options.patchListRequested) {
        bool complete = false;
        WritePatchList(options.patchListPath, &complete);
        if (!complete) {
            failed += L" /p";
        }
    }
    if (options.listProductsRequested && !ShowPatchTargets()) {
        failed += L" /i";
    }
    exitCode = failed.empty() ? install::kExitSuccess : install::kExitFailure;
    reason = failed.empty() ? L"every job done" : L"failed:" + failed;
    // Last of the jobs; a job that failed before it keeps its 1603, the first failure.
    if (options.uninstallRequested) {
        const install::InstallResult removal = install::RunUninstall(settings);
        if (failed.empty()) {
            exitCode = removal.exitCode;
            reason = removal.reason;
        } else {
            reason += L"; /uninstall: " + std::wstring(removal.reason);
        }
    }
}

} // namespace

int Dispatch(RunOptions& options) {
    const std::uint64_t startedAt = platform::MonotonicMicroseconds();
    messages::SetQuiet(options.quiet);
    const platform::WindowStation station = platform::ProcessWindowStation();
    messages::SetBoxesSeen(platform::PersonCanSee(station));
    StartLogging(options, station);
    std::uint32_t exitCode = install::kExitSuccess;
    std::wstring reason;
    install::InstallSettings settings;
    settings.noRestart = options.noRestart;
    settings.installerLogStem = InstallerLogStem();
    settings.installerUi = options.installerUi;
    if (payload::IsBase()) {
        // Shown nothing: whoever runs the base by mistake learns it from the log and the code.
        exitCode = install::kExitFailure;
        reason = L"this is corvath-sp-base.exe, the base corvath-sp-pack makes packs from, not a "
                 L"pack: it carries no patch";
    } else if (options.helpRequested) {
        ShowHelp();
        reason = L"the help was shown; nothing else is done";
    } else if (LineRefused(options)) {
        // A mistyped line must not run what the rest of it happens to spell, nor end as a success.
        messages::ShowMessage(messages::kBadCommandLine);
        exitCode = install::kExitBadCommandLine;
        reason = L"the command line is refused (the log names why); nothing is done";
    } else if (options.installDefault) {
        const install::InstallResult result = install::RunInstall(settings);
        exitCode = result.exitCode;
        reason = result.reason;
    } else {
        RunSwitchJobs(options, settings, exitCode, reason);
    }
    install::ProductList().clear();
    FinishLogging(exitCode, reason, startedAt);
    return static_cast<int>(exitCode);
}

} // namespace app
