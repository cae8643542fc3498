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
#include <string_view>

namespace payload {

// What a note says of its copy.
struct NotedCopy {
    platform::FileId id;
    std::uint64_t size = 0;
    // Written by an earlier pack, which noted the 32-bit volume serial and 64-bit file index of
    // GetFileInformationByHandle, and no high half of the id.
    bool byEarlierPack = false;
};

// A note's text for the copy `id` of `size` bytes, as Write puts it in the note.
std::string CopyNoteText(const platform::FileId& id, std::uint64_t size);
// Reads the text of a note, this pack's or an earlier pack's; every number the writer can write
// (up to 2^64-1) reads back. False for anything else.
bool ReadCopyNote(std::string_view text, NotedCopy& noted);
// Whether the file known as `found` (IdentifyFile) is the copy the note names. An earlier pack's
// note is matched on what it knew: the low 32 bits of the volume's serial, and a 64-bit index.
bool IsNotedCopy(const NotedCopy& noted, const platform::FileId& found);

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
    // The same for a copy that stays shorter than noted (a write that failed part way): the note
    // first takes the size the copy has, so that the next run still knows it for the copy.
    void Keep(std::uint64_t sizeNow);

  private:
    platform::File file_;
    std::wstring path_;
    platform::FileId copy_;
    std::uint64_t size_ = 0;
};

// The note's name for a copy.
std::wstring CopyNotePath(const std::wstring& copyPath);

// Deletes, in `folder`, the copies that runs now gone noted there, and their notes; logs every
// file removed. Looks at a bounded number of notes.
void RemoveLeftCopies(const std::wstring& folder);

} // namespace payload
