// The /? and /h switches: what the other switches do, and which pack this is.
#pragma once

#include <string>

namespace app {

// The switches, one a line, then the pack's target version, patch code and default log place, in
// the user's language: the help's catalogue entries joined.
std::wstring HelpText();

// Shows HelpText captioned with the pack's name; shown even in a quiet run, as the product list
// is.
void ShowHelp();

} // namespace app
