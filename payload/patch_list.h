// The /p job: appends the patch-list records to a text file.
#pragma once

#include <string>

namespace payload {

// The list file's name derived from a target list: "patchlist" + up to four characters + ".txt".
// Whatever precedes the first ":" is dropped; then the four characters after the first "-" are
// kept, or the first four when there is no "-". An empty list gives "patchlist.txt".
std::wstring PatchListNameFor(const std::wstring& targets);

// Appends every record (type "TXT", ids from 206 until the first missing one) to the file
// `name`, each after a line of five asterisks and followed by CR LF. An empty `name` receives
// "patchlist.txt", or the name derived from the patch's target list. False only when the file
// cannot be opened (message 310). A record that cannot be read, or a write that fails, shows
// message 300 with the platform's error code and ends the job; what a failed write left of its
// record is cut off again, so the file holds whole records only.
// `complete`, when given, tells whether every record was written (no 300 or 310 was raised).
bool WritePatchList(std::wstring& name, bool* complete = nullptr);

} // namespace payload
