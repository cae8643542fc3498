// corvath-sp-pack: makes a pack from a patch and the base beside the packer. See pack_options.cpp
// for the command line.
#include "pack_options.h"
#include "pack_run.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Where this program's file is, whatever the current folder and PATH: the base is looked for
// beside it.
std::filesystem::path OwnFolder() {
#ifdef _WIN32
    std::vector<wchar_t> path(32768);
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    return std::filesystem::path(std::wstring(path.data(), length)).parent_path();
#else
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
#endif
}

std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

int Pack(const std::vector<std::filesystem::path>& argv) {
    std::vector<std::string> arguments;
    for (std::size_t i = 1; i < argv.size(); ++i) {
        arguments.push_back(Utf8(argv[i]));
    }
    corvath::pack::PackOptions options;
    if (auto refusal = corvath::pack::parse_pack_options(arguments, options)) {
        std::fprintf(stderr, "corvath-sp-pack: %s\n%s", refusal->c_str(),
                     corvath::pack::kPackUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(corvath::pack::kPackUsage, stdout);
        return 0;
    }
    return corvath::pack::run_packer(options, OwnFolder());
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    return Pack(std::vector<std::filesystem::path>(argv, argv + argc));
}
#else
int main(int argc, char** argv) {
    std::vector<std::filesystem::path> arguments;
    for (int i = 0; i < argc; ++i) {
        const std::string text = argv[i];
        arguments.emplace_back(std::u8string(text.begin(), text.end()));
    }
    return Pack(arguments);
}
#endif
