#include "app/dispatch.h"

#include "messages/presenter.h"
#include "payload/extract_patch.h"

namespace app {

int Dispatch(RunOptions& options) {
    messages::SetQuiet(options.quiet);
    if (options.extractRequested) {
        payload::ExtractPatch(options.extractPath);
    }
    return 0;
}

} // namespace app
