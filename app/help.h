// The /? and /h switches: what the other switches do.
#pragma once

namespace app {

// Shows the switches, one a line, in the user's language, captioned with the pack's name;
// shown even in a quiet run, as the product list is.
void ShowHelp();

} // namespace app
