// Where every run begins once the platform has started the process.
#pragma once

namespace app {

// Parses the command line, runs the selected jobs and returns the process exit code.
int Entry();

} // namespace app
