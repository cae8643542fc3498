// The /p job: appends the patch-list records to a text file.
#pragma once

#include "messages/message_ids.h"

#include <cstdint>
#include <string>

namespace payload {

// The list file's name derived from a target list: "patchlist" + up to four characters + ".txt".
// Whatever precedes the first ":" is dropped; then the four characters after the first "-" are
// kept, or the first four when there is no "-". An empty list gives "patchlist.txt".
std::wstring PatchListNameFor(const std::wstring& targets);

// What became of the /p job: the message it has for the user, if any.
struct PatchListOutcome {
    bool opened = false;   // the file could be opened
    bool complete = false; // every record was written
    // kNoPatchList when the file cannot be opened or the pack carries no record, kInstallFailed
    // when a record cannot be read or written; kNoMessage when every record was written.
    messages::MessageId message = messages::kNoMessage;
    std::uint32_t error = 0; // the platform's error code, for kInstallFailed
};

// Appends every record (type "TXT", ids from 206 until the first missing one) to the file
// `name`, each after a line of five asterisks and followed by CR LF. An empty `name` receives
// "patchlist.txt", or the name derived from the patch's target list. A record that cannot be
// read, or a write that fails, ends the job; what a failed write left of its record is cut off
// again, so the file holds whole records only. Logs what went wrong; shows nothing.
PatchListOutcome AppendPatchList(std::wstring& name);

} // namespace payload
