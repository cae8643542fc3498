// What the command line asks of a run that changes products, beyond the plain one.
#pragma once

#include <string>

namespace install {

struct InstallSettings {
    bool noRestart = false;        // /norestart: REBOOT=ReallySuppress on every installer call
    std::wstring installerLogStem; // Windows Installer's verbose log, without ".log"; empty: none
};

} // namespace install
