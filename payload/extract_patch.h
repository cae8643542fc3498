// Writes the embedded patch package to a file, byte for byte.
#pragma once

#include "payload/copy_note.h"
#include "platform/files.h"

#include <cstdint>
#include <string>

namespace payload {

// ERROR_FILE_CORRUPT: the copy does not hold the package, or another file has its name.
constexpr std::uint32_t kErrorFileCorrupt = 1392;

// An empty `path` asks for a new file in the temporary directory; the chosen name is stored in
// `path` before the package is looked up and stays there whatever happens next. A non-empty
// path is used unchanged (an existing file is replaced). True when every byte was written.
// A write that fails part way removes the partial file, so that no truncated package is left
// under a name that looks complete; the run's own copy through the handle that wrote it, and
// should even that fail, its note stays (with the size it has), so that the next run removes it.
// `written`, when given, makes the file the run's own copy (OpenMode::CreateNewOwn): each block is
// read back through the handle that wrote it and compared while it is still in memory, and
// `written` receives the identity of the file, taken while it was still held; a copy that does not
// hold the package fails with 1392 (ERROR_FILE_CORRUPT). `note`, when given, notes the file before
// a byte is written to it, so that a later run can remove it should this one be killed.
bool ExtractPatch(std::wstring& path, platform::FileId* written = nullptr,
                  CopyNote* note = nullptr);

} // namespace payload
