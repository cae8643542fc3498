// The process itself: its module and its command line.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Records the module whose resources the store reads (the instance handle on Windows).
void SetModule(void* module);

// The command line split by the platform's rules, argument 0 (the program) included.
// False when the command line cannot be split.
bool CommandLineArguments(std::vector<std::wstring>& arguments);

} // namespace platform
