#include "app/dispatch.h"

#include "install/exit_code.h"
#include "install/product.h"
#include "install/run_install.h"
#include "messages/presenter.h"
#include "payload/extract_patch.h"
#include "payload/patch_list.h"
#include "payload/patch_summary.h"

namespace app {

int Dispatch(RunOptions& options) {
    messages::SetQuiet(options.quiet);
    std::uint32_t exitCode = install::kExitSuccess;
    if (options.installDefault) {
        exitCode = install::RunInstall().exitCode;
    } else {
        // Each job runs whatever became of the one before; any that failed fails the run.
        bool failed = false;
        if (options.extractRequested) {
            failed |= !payload::ExtractPatch(options.extractPath);
        }
        if (options.patchListRequested) {
            bool complete = false;
            payload::WritePatchList(options.patchListPath, &complete);
            failed |= !complete;
        }
        if (options.listProductsRequested) {
            failed |= !payload::ShowPatchTargets();
        }
        exitCode = failed ? install::kExitFailure : install::kExitSuccess;
    }
    install::ProductList().clear();
    return static_cast<int>(exitCode);
}

} // namespace app
