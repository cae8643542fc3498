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

} // namespace

void ParseArguments(const std::vector<std::wstring>& arguments, RunOptions& options) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (EqualsInsensitiveAscii(argument, L"/q")) {
            options.quiet = true;
        } else if (EqualsInsensitiveAscii(argument, L"/e") ||
                   EqualsInsensitiveAscii(argument, L"/p")) {
            const bool extract = LowerAscii(argument[1]) == L'e';
            (extract ? options.extractRequested : options.patchListRequested) = true;
            options.installDefault = false;
            if (i + 1 < arguments.size()) {
                // The only recoverable allocation failure: the switches seen so far stand.
                try {
                    (extract ? options.extractPath : options.patchListPath) = arguments[i + 1];
                } catch (const std::bad_alloc&) {
                    return;
                }
                ++i;
            }
        } else if (EqualsInsensitiveAscii(argument, L"/i")) {
            options.listProductsRequested = true;
            options.installDefault = false;
            return;
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
