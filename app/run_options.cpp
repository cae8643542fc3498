#include "app/run_options.h"

#include "platform/process.h"

#include <algorithm>
#include <new>

namespace app {
namespace {

wchar_t LowerAscii(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
}

// Whole-token comparison that folds only A-Z, so no locale can make another letter match.
bool EqualsInsensitiveAscii(const std::wstring& argument, const wchar_t* switchText) {
    std::size_t i = 0;
    for (; switchText[i] != L'\0'; ++i) {
        if (i >= argument.size() || LowerAscii(argument[i]) != switchText[i]) {
            return false;
        }
    }
    return i == argument.size();
}

// What a switch does with the argument after it.
enum class Takes {
    Nothing,
    AnyArgument,   // a path, whatever it looks like (/e /q extracts to a file named "/q")
    UnlessASwitch, // a path, unless it is one of the switches below (/log /q: the default log)
};

// One row per switch, tried in order; the first that matches decides.
struct Switch {
    const wchar_t* text;            // lower case
    bool RunOptions::*flag;         // set when the switch is seen
    bool isJob;                     // a job switch: no default installation
    std::wstring RunOptions::*path; // where the argument it takes goes
    Takes takes;
    bool endsParse;
    install::InstallerUi installerUi = install::InstallerUi::Basic; // what it asks of the installer
};

constexpr Switch kSwitches[] = {
    {L"/q", &RunOptions::quiet, false, nullptr, Takes::Nothing, false},
    // As msiexec has them: progress alone, or nothing at all, from Windows Installer.
    {L"/passive", &RunOptions::quiet, false, nullptr, Takes::Nothing, false,
     install::InstallerUi::Passive},
    {L"/quiet", &RunOptions::quiet, false, nullptr, Takes::Nothing, false,
     install::InstallerUi::None},
    {L"/e", &RunOptions::extractRequested, true, &RunOptions::extractPath, Takes::AnyArgument,
     false},
    {L"/p", &RunOptions::patchListRequested, true, &RunOptions::patchListPath, Takes::AnyArgument,
     false},
    {L"/i", &RunOptions::listProductsRequested, true, nullptr, Takes::Nothing, true},
    {L"/uninstall", &RunOptions::uninstallRequested, true, nullptr, Takes::Nothing, false},
    {L"/norestart", &RunOptions::noRestart, false, nullptr, Takes::Nothing, false},
    {L"/log", &RunOptions::logRequested, false, &RunOptions::logPath, Takes::UnlessASwitch, false},
    {L"/logstyle", &RunOptions::logStyleRequested, false, &RunOptions::logStyleName,
     Takes::UnlessASwitch, false},
    // Whoever asks for help in any of the usual spellings gets it, never an installation.
    {L"/?", &RunOptions::helpRequested, false, nullptr, Takes::Nothing, false},
    {L"/h", &RunOptions::helpRequested, false, nullptr, Takes::Nothing, false},
    {L"-?", &RunOptions::helpRequested, false, nullptr, Takes::Nothing, false},
    {L"-h", &RunOptions::helpRequested, false, nullptr, Takes::Nothing, false},
    {L"/help", &RunOptions::helpRequested, false, nullptr, Takes::Nothing, false},
    {L"--help", &RunOptions::helpRequested, false, nullptr, Takes::Nothing, false},
};

const Switch* FindSwitch(const std::wstring& argument) {
    for (const Switch& entry : kSwitches) {
        if (EqualsInsensitiveAscii(argument, entry.text)) {
            return &entry;
        }
    }
    return nullptr;
}

bool TakesNext(const Switch& entry, const std::vector<std::wstring>& arguments, std::size_t i) {
    if (entry.takes == Takes::Nothing || i + 1 >= arguments.size()) {
        return false;
    }
    return entry.takes == Takes::AnyArgument || FindSwitch(arguments[i + 1]) == nullptr;
}

// The style /logstyle names; another name, or none, is refused with the switch.
void ChooseLogStyle(RunOptions& options) {
    if (!options.logStyleRequested) {
        return;
    }
    if (EqualsInsensitiveAscii(options.logStyleName, L"cmtrace")) {
        options.logStyle = runlog::LogStyle::CmTrace;
    } else if (!EqualsInsensitiveAscii(options.logStyleName, L"text")) {
        options.refused.push_back(
            L"/logstyle" + (options.logStyleName.empty() ? L"" : L" " + options.logStyleName));
    }
}

} // namespace

void ParseArguments(const std::vector<std::wstring>& arguments, RunOptions& options) {
    // The only recoverable allocation failure.
    try {
        for (std::size_t i = 1; i < arguments.size(); ++i) {
            const Switch* entry = FindSwitch(arguments[i]);
            if (entry == nullptr) {
                options.refused.push_back(arguments[i]);
                continue;
            }
            options.*entry->flag = true;
            // Order does not matter: /quiet /passive is as quiet as /passive /quiet.
            options.installerUi = std::max(options.installerUi, entry->installerUi);
            if (entry->isJob) {
                options.installDefault = false;
            }
            if (TakesNext(*entry, arguments, i)) {
                options.*entry->path = arguments[i + 1];
                ++i;
            }
            if (entry->endsParse) {
                // Never read, so neither acted on nor refused: the log names them.
                options.unread.assign(arguments.begin() + i + 1, arguments.end());
                break;
            }
        }
        ChooseLogStyle(options);
        options.lineRead = true;
    } catch (const std::bad_alloc&) {
        // Part of the line unread: acting on the rest could install what nobody asked for.
        return;
    }
}

bool LineRefused(const RunOptions& options) {
    return !options.lineRead || !options.refused.empty();
}

RunOptions ParseCommandLine() {
    RunOptions options;
    std::vector<std::wstring> arguments;
    if (platform::CommandLineArguments(arguments)) {
        ParseArguments(arguments, options);
    }
    return options;
}

} // namespace app
