// Opening the administrator's /log file without being sent elsewhere by a link.
#pragma once

#include "platform/files.h"

#include <string>
#include <vector>

namespace platform::win32 {

// The folders of the full path `path` below its root ("C:\", "\\server\share\", "\\?\C:\" or
// "\\?\UNC\server\share\"), outermost first; the last component, the file, is not one.
std::vector<std::wstring> FoldersOf(const std::wstring& path);

// OpenMode::AppendShared (files.h): opens or makes the file at the full path `path` to append to
// it, and refuses, with ERROR_STOPPED_ON_SYMLINK, a path that leads through a link: the file or
// any of its folders a reparse point (a junction, a symbolic link, a mount point), or a file with
// other names (a hard link may be any file). A file it made through a link is deleted again. The
// handle has no delete access, which would keep other runs from sharing the log.
File OpenToAppendWithoutLinks(const std::wstring& path, OpenResult& result);

} // namespace platform::win32
