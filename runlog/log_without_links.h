// Opening the administrator's /log file so that no write and no creation reaches a file other
// than the one its path names, whatever anyone does to its folders meanwhile: a run as SYSTEM
// would otherwise create or append to any file a user's link leads to.
#pragma once

#include "platform/files.h"

#include <cstdint>
#include <string>
#include <vector>

namespace runlog {

// ERROR_STOPPED_ON_SYMLINK: why a path through a link is refused.
inline constexpr std::uint32_t kErrorStoppedOnLink = 681;

// Opens or makes the file at the full path `path` to append to it. From the root down, each
// folder is opened in the one before it, as itself, refused if it is a link (a junction, a
// symbolic link, a mount point), and held; the file is opened in the last of them. It is refused
// when it is a link itself or has other names (a hard link may be any file), and when one of the
// held folders has become a reparse point since it was checked (an empty folder can become a
// junction in place). Nothing is written before these checks. On success `held` keeps the folders
// from then on: while it does, nobody can rename or delete them. Otherwise the file is not open,
// `held` is empty and `error` says why (681 for a link).
platform::File OpenLogWithoutLinks(const std::wstring& path, std::vector<platform::File>& held,
                                   std::uint32_t& error);

} // namespace runlog
