// The switches of one run, read from the command line.
#pragma once

#include "runlog/run_log.h"

#include <string>
#include <vector>

namespace app {

struct RunOptions {
    bool quiet = false;
    bool installDefault = true;
    bool extractRequested = false;
    std::wstring extractPath;
    bool patchListRequested = false;
    std::wstring patchListPath;
    bool listProductsRequested = false;
    bool uninstallRequested = false; // remove the pack's patch (/uninstall)
    bool noRestart = false;          // a restart the patch needs is reported, not performed
    bool logRequested = false;
    std::wstring logPath; // the run log goes here instead of the temporary folder
    bool logStyleRequested = false;
    std::wstring logStyleName;                          // as given after /logstyle
    runlog::LogStyle logStyle = runlog::LogStyle::Text; // "cmtrace" or "text" (the default)
    bool helpRequested = false;
    std::vector<std::wstring> ignored; // arguments that are no switch, for the run log
};

// Applies the switches in `arguments` (argument 0, the program, is skipped) to `options`.
// Switches are whole tokens, A-Z case ignored: /q, /e <path>, /p <path>, /i, /uninstall,
// /norestart, /log <path>, /logstyle cmtrace|text, and /?, /h, -?, -h, /help, --help for the
// help. A /logstyle of another name is ignored, and the log is plain text. The argument after /e or
// /p is taken as the path whatever it is; the one after /log only when it is none of these
// switches. /i ends the parse. Anything else is ignored, and kept in `ignored`.
void ParseArguments(const std::vector<std::wstring>& arguments, RunOptions& options);

// Reads the process's own command line; a line that cannot be split selects no switch.
RunOptions ParseCommandLine();

} // namespace app
