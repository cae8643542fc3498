// The /? and /h switches: what the other switches do.
#pragma once

#include <string>

namespace app {

// The switches, one a line, in the user's language: the help's catalogue entries joined.
std::wstring HelpText();

// Shows HelpText captioned with the pack's name; shown even in a quiet run, as the product list
// is.
void ShowHelp();

} // namespace app
