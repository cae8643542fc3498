// The switches of one run, read from the command line.
#pragma once

#include "install/run_settings.h"
#include "runlog/run_log.h"

#include <string>
#include <vector>

namespace app {

struct RunOptions {
    bool quiet = false; // no message boxes: /q, /passive or /quiet
    install::InstallerUi installerUi = install::InstallerUi::Basic; // the quietest asked for
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
    // Arguments that are neither a switch nor a switch's argument: the run does nothing but say
    // so (exit code 1639), unless the help was asked for.
    std::vector<std::wstring> refused;
    std::vector<std::wstring> unread; // what followed /i, never read, for the run log
    bool lineRead = false;            // false: the line could not be read whole, and is refused
};

// Whether the run must do nothing but report its command line: an argument was refused, or the
// line could not be read whole.
bool LineRefused(const RunOptions& options);

// Applies the switches in `arguments` (argument 0, the program, is skipped) to `options`.
// Switches are whole tokens, A-Z case ignored: /q, /passive, /quiet, /e <path>, /p <path>, /i,
// /uninstall, /norestart, /log <path>, /logstyle cmtrace|text, and /?, /h, -?, -h, /help, --help
// for the help. The argument after /e or /p is taken as the path whatever it is; the one after
// /log and /logstyle only when it is none of these switches. /i ends the parse: what follows it
// goes to `unread`. Anything else, a /logstyle of another name or none included, goes to
// `refused`.
void ParseArguments(const std::vector<std::wstring>& arguments, RunOptions& options);

// Reads the process's own command line; a line that cannot be split is refused.
RunOptions ParseCommandLine();

} // namespace app
