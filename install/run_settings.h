// What the command line asks of a run that changes products, beyond the plain one.
#pragma once

#include <string>

namespace install {

// How much Windows Installer shows during its calls where a person can see it; from the least
// quiet to the quietest. Where nobody can see it, it shows nothing whatever was asked.
enum class InstallerUi {
    Basic,   // progress and its own error and source dialogs, no Cancel (the default, /q)
    Passive, // progress only, no Cancel, no modal dialog (/passive)
    None,    // nothing at all, the elevation prompt included (/quiet)
};

struct InstallSettings {
    bool noRestart = false;        // /norestart: REBOOT=ReallySuppress on every installer call
    std::wstring installerLogStem; // Windows Installer's verbose log, without ".log"; empty: none
    InstallerUi installerUi = InstallerUi::Basic;
};

} // namespace install
