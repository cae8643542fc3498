// Windows Installer's verbose log beside the run log.
#pragma once

#include "platform/files.h"

#include <string>

namespace install {

// Started before the first product is changed: a new file, <stem>.log, or <stem>-2.log,
// -3.log... when another run has the name. It is held from then to the end of the run, so that
// nobody can rename or delete it, or swap it for a link to another file, while the elevated
// installer appends to it.
class InstallerLog {
  public:
    explicit InstallerLog(std::wstring stem);
    void StartOnce();

  private:
    std::wstring stem_;
    bool started_ = false;
    platform::File hold_;
};

} // namespace install
