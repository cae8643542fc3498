// corvath-pack-check <patch.msp>: the pack's checks of its patch, run by the build when the
// pack is configured and whenever it is built. One line each, for cmake/PatchDigest.cmake:
//   warn=<text>      a warning; the build goes on
//   refuse=<rule>    the rule the patch breaks; exit status 1
//   code=<code>      the patch code, when nothing is refused
// Exit status 2: bad arguments.
#include "msp/pack_check.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: corvath-pack-check <patch.msp>\n", stderr);
        return 2;
    }
    const corvath::msp::PackCheck check = corvath::msp::check_pack_patch(argv[1]);
    for (const std::string& warning : check.warnings)
        std::printf("warn=%s\n", warning.c_str());
    if (check.refusal) {
        std::printf("refuse=%s\n", check.refusal->c_str());
        return 1;
    }
    std::printf("code=%s\n", check.patch_code.c_str());
    return std::fflush(stdout) == 0 ? 0 : 2;
}
