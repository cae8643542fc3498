// The switch jobs that report to the user: /p and /i. Each runs its payload job and shows what
// came of it.
#pragma once

#include <string>

namespace app {

// /p: appends the patch-list records to the file `name` (payload::AppendPatchList), then shows
// its message: 310 when the file cannot be opened or the pack carries no record, 300 with the
// platform's error code when a record could not be written. False only when the file could not
// be opened. `complete`, when given, tells whether every record was written.
bool WritePatchList(std::wstring& name, bool* complete = nullptr);

// /i: shows the patch's target list in a box captioned "List of Products", even in a quiet run;
// the copy it was read from is gone by then. False when the list could not be read (the box is
// then empty).
bool ShowPatchTargets();

} // namespace app
