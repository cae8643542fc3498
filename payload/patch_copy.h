// The copy of the embedded patch that a job reads and hands to Windows Installer.
#pragma once

#include "payload/copy_note.h"
#include "platform/files.h"

#include <string>

namespace payload {

// Extracted to a new file in the temporary directory and checked byte for byte as it is written
// (each block read back through the handle that wrote it while the block is still in memory),
// made so that nobody below an administrator can change it, then held so that nobody can
// change, rename or delete it, and known by its identity through that hold: an elevated run
// must apply the package it carries, not what another process of the user put in its place. Deleted
// when the job lets go of it, on every way out; noted beside it (copy_note.h) so that the next run
// deletes it should this one be killed. Before it makes its own, it removes what runs that were
// killed left in its folder.
class PatchCopy {
  public:
    PatchCopy() = default;
    PatchCopy(const PatchCopy&) = delete;
    PatchCopy& operator=(const PatchCopy&) = delete;
    ~PatchCopy() { Remove(); }

    // False when the copy cannot be written or held, or is not the package; whatever was
    // written is removed again and the thread's last error tells why (1392, ERROR_FILE_CORRUPT,
    // for a copy that is not the package).
    bool Make();
    // The copy's full path, as Windows Installer must be given it; empty until made.
    const std::wstring& Path() const { return path_; }
    // Lets go of the copy and deletes it if it is still the file we wrote; a name that now
    // leads elsewhere is left alone. Does nothing the second time; keeps the thread's last error.
    void Remove();

  private:
    std::wstring path_;
    platform::FileId written_;
    platform::File hold_;
    CopyNote note_;
    bool made_ = false;
};

} // namespace payload
