// corvath-pack-check <patch.msp> [--target-version V] [--applicable-versions L]
//                    [--facts-out FILE] [--script-out FILE]
// The packer's checks of a patch, on their own, for scripts. V and L are the pack's options as
// given (absent: taken from the patch). One line each:
//   warn=<text>      a warning; the build goes on
//   note=<text>      what the pack is, printed as it is
//   refuse=<rule>    the rule the patch breaks; exit status 1
//   target=<v>       the version the pack brings, in four parts
//   applicable=<l>   the versions it applies to, each followed by a comma
//   detect=<text>    what a deployment needs to detect the pack, a line at a time
//   upgraded=<codes> the product codes a major-upgrade patch changes products to, ";" between
//                    them; empty when it changes none
//   code=<code>      the patch code, last, when nothing is refused
// --facts-out and --script-out write the detection facts and the Intune detection script. On
// Windows the arguments are read as UTF-16, so that a patch path outside the ANSI code page is
// found.
// Exit status 2: bad arguments, or an output that cannot be written.
#include "msp/pack_check.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

bool write_file(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(out.flush());
}

int usage() {
    std::fputs("usage: corvath-pack-check <patch.msp> [--target-version V] "
               "[--applicable-versions L] [--facts-out FILE] [--script-out FILE]\n",
               stderr);
    return 2;
}

// Option values are ASCII (versions); paths stay paths.
std::string ascii(const std::filesystem::path& argument) {
    std::string text;
    for (const auto unit : argument.native()) {
        const auto code = static_cast<std::uint32_t>(unit);
        text.push_back(code < 0x80 ? static_cast<char>(code) : '?');
    }
    return text;
}

int check(const std::vector<std::filesystem::path>& arguments) {
    if (arguments.size() < 2)
        return usage();
    corvath::msp::VersionOptions options;
    std::filesystem::path facts_out;
    std::filesystem::path script_out;
    for (std::size_t i = 2; i < arguments.size(); i += 2) {
        const std::string name = ascii(arguments[i]);
        if (i + 1 >= arguments.size())
            return usage();
        const std::filesystem::path& value = arguments[i + 1];
        if (name == "--target-version")
            options.target = ascii(value);
        else if (name == "--applicable-versions")
            options.applicable = ascii(value);
        else if (name == "--facts-out")
            facts_out = value;
        else if (name == "--script-out")
            script_out = value;
        else
            return usage();
    }

    const corvath::msp::PackCheck check =
        corvath::msp::check_pack_patch(arguments[1], options);
    for (const std::string& warning : check.warnings)
        std::printf("warn=%s\n", warning.c_str());
    if (check.refusal) {
        std::printf("refuse=%s\n", check.refusal->c_str());
        return 1;
    }
    for (const std::string& note : check.notes)
        std::printf("note=%s\n", note.c_str());
    std::printf("target=%s\n", check.versions.target.c_str());
    std::printf("applicable=%s\n", check.versions.applicable.c_str());
    for (const std::string& line : corvath::msp::detection_summary(check.detection))
        std::printf("detect=%s\n", line.c_str());
    if ((!facts_out.empty() &&
         !write_file(facts_out, corvath::msp::detection_facts(check.detection))) ||
        (!script_out.empty() &&
         !write_file(script_out, corvath::msp::intune_detection_script(check.detection)))) {
        std::fputs("corvath-pack-check: cannot write the detection files\n", stderr);
        return 2;
    }
    std::string upgraded;
    for (const std::string& code : check.versions.upgraded_products)
        upgraded += (upgraded.empty() ? "" : ";") + code;
    std::printf("upgraded=%s\n", upgraded.c_str());
    std::printf("code=%s\n", check.patch_code.c_str());
    return std::fflush(stdout) == 0 ? 0 : 2;
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    return check(std::vector<std::filesystem::path>(argv, argv + argc));
}
#else
int main(int argc, char** argv) {
    return check(std::vector<std::filesystem::path>(argv, argv + argc));
}
#endif
