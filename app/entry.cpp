#include "app/entry.h"

#include "app/dispatch.h"
#include "app/run_options.h"

namespace app {

int Entry() {
    RunOptions options = ParseCommandLine();
    return Dispatch(options);
}

} // namespace app
