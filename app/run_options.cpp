#include "app/run_options.h"

#include "platform/process.h"

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

// One row per switch, tried in order; the first that matches decides.
struct Switch {
    const wchar_t* text;            // lower case
    bool RunOptions::*flag;         // set when the switch is seen
    bool isJob;                     // a job switch: no default installation
    std::wstring RunOptions::*path; // takes the next argument, whatever it is, when there is one
    bool endsParse;
};

constexpr Switch kSwitches[] = {
    {L"/q", &RunOptions::quiet, false, nullptr, false},
    {L"/e", &RunOptions::extractRequested, true, &RunOptions::extractPath, false},
    {L"/p", &RunOptions::patchListRequested, true, &RunOptions::patchListPath, false},
    {L"/i", &RunOptions::listProductsRequested, true, nullptr, true},
    {L"/norestart", &RunOptions::noRestart, false, nullptr, false},
    {L"/log", &RunOptions::logRequested, false, &RunOptions::logPath, false},
    {L"/?", &RunOptions::helpRequested, false, nullptr, false},
    {L"/h", &RunOptions::helpRequested, false, nullptr, false},
};

} // namespace

void ParseArguments(const std::vector<std::wstring>& arguments, RunOptions& options) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        for (const Switch& entry : kSwitches) {
            if (!EqualsInsensitiveAscii(arguments[i], entry.text)) {
                continue;
            }
            options.*entry.flag = true;
            if (entry.isJob) {
                options.installDefault = false;
            }
            if (entry.path != nullptr && i + 1 < arguments.size()) {
                // The only recoverable allocation failure: the switches seen so far stand.
                try {
                    options.*entry.path = arguments[i + 1];
                } catch (const std::bad_alloc&) {
                    return;
                }
                ++i;
            }
            if (entry.endsParse) {
                return;
            }
            break;
        }
    }
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
