#include "app/dispatch.h"

#include "messages/presenter.h"
#include "payload/extract_patch.h"
#include "payload/patch_list.h"
#include "payload/patch_summary.h"

namespace app {

int Dispatch(RunOptions& options) {
    messages::SetQuiet(options.quiet);
    if (options.extractRequested) {
        payload::ExtractPatch(options.extractPath);
    }
    if (options.patchListRequested) {
        payload::WritePatchList(options.patchListPath);
    }
    if (options.listProductsRequested) {
        payload::ShowPatchTargets();
    }
    return 0;
}

} // namespace app
