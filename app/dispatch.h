// Runs the job or jobs that the switches select.
#pragma once

#include "app/run_options.h"

namespace app {

// The help when asked for; else nothing but message 309 and 1639 for a refused command line;
// else the default installation when no job switch was given; otherwise, in this fixed order and
// each only if requested: extract, write the patch list, show the target products, remove the
// patch.
// Returns the process exit code: Windows Installer's result codes, so that deployment tools
// read success, reboot, cancel and failure as they do for msiexec.
int Dispatch(RunOptions& options);

} // namespace app
