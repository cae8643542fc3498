// The command line's parser on any arguments: the input's lines, in UTF-8, after the program.
// Whatever follows it, a word that is no switch in the first place is refused and named first.
#include "app/run_options.h"
#include "platform/files.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::wstring> arguments{L"corvath-sp.exe"};
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        arguments.push_back(platform::FromUtf8(text.substr(start, end - start)));
        start = end + 1;
    }
    app::RunOptions options;
    app::ParseArguments(arguments, options);

    const std::wstring word = L"\u2013uninstall";
    arguments.insert(arguments.begin() + 1, word);
    app::RunOptions refused;
    app::ParseArguments(arguments, refused);
    if (!app::LineRefused(refused) || refused.refused.empty() || refused.refused.front() != word) {
        __builtin_trap();
    }
    return 0;
}
