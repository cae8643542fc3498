// Notes beside the temporary copies of the patch, so that a run that was killed (a deployment
// tool's timeout, a shutdown) does not leave its 16 MB copy behind for ever.
//
// A run notes its copy in "<copy>.corvath-sp" before it writes the copy: the copy's file
// identity and size. It holds the note open, without sharing it for writing or deleting, until it
// deletes the copy, then deletes the note. A later run of the pack that can open a note with no
// sharing at all knows that the run that wrote it is gone, and deletes the copy noted, only when
// the copy can be opened with no sharing, is not a link, and still has the identity and the size
// noted. Nothing else is touched: not a file the pack did not make, not the file /e writes (it has
// no note), not a copy a live run holds.
#pragma once

#include "platform/files.h"

#include <cstdint>
#include <string>

namespace payload {

class CopyNote {
  public:
    CopyNote() = default;
    CopyNote(const CopyNote&) = delete;
    CopyNote& operator=(const CopyNote&) = delete;
    ~CopyNote() { Remove(); }

    // Writes the note of the copy at `copyPath` and holds it; false when it cannot be written
    // (the run goes on: only its clean-up after a kill is lost).
    bool Write(const std::wstring& copyPath, const platform::FileId& copy, std::uint64_t size);
    // Deletes the note; call it once the copy is gone. Nothing the second time.
    void Remove();
    // Lets go of the note and leaves it: the copy could not be deleted, and the next run of the
    // pack deletes both, as it does after a killed run.
    void Keep();

  private:
    platform::File file_;
    std::wstring path_;
};

// The note's name for a copy.
std::wstring CopyNotePath(const std::wstring& copyPath);

// Deletes, in `folder`, the copies that runs now gone noted there, and their notes; logs every
// file removed. Looks at a bounded number of notes.
void RemoveLeftCopies(const std::wstring& folder);

} // namespace payload
