// What the run log costs a default run: the same run, in one process, with its log and without
// (/log into a folder that does not exist, so that no log can be made). Run it in a prefix where
// corvath-current (8.2.0.5) is installed: every run then goes through discovery, the
// running-program check and a decision, without an installer call that would change the
// machine between rounds. Prints the median of each and their difference.
#include "app/dispatch.h"
#include "app/run_options.h"

#include "bench_clock.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using bench::Median;
using bench::Seconds;

double TimedRun(const std::wstring& logPath) {
    app::RunOptions options;
    app::ParseArguments({L"corvath-sp.exe", L"/q", L"/log", logPath}, options);
    const double start = Seconds();
    app::Dispatch(options);
    return Seconds() - start;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int rounds = argc > 1 ? _wtoi(argv[1]) : 21;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring logPath = std::wstring(temp) + L"corvath-log-bench.log";
    const std::wstring nowhere = std::wstring(temp) + L"corvath-no-such-folder\\run.log";
    TimedRun(nowhere); // msi.dll and the rest loaded before the first timed run
    std::vector<double> with;
    std::vector<double> without;
    for (int i = 0; i < rounds; ++i) {
        // Taking turns at going first.
        if (i % 2 == 0) {
            with.push_back(TimedRun(logPath));
            without.push_back(TimedRun(nowhere));
        } else {
            without.push_back(TimedRun(nowhere));
            with.push_back(TimedRun(logPath));
        }
    }
    WIN32_FILE_ATTRIBUTE_DATA written{};
    GetFileAttributesExW(logPath.c_str(), GetFileExInfoStandard, &written);
    DeleteFileW(logPath.c_str());
    std::printf("default run, %d rounds: with its log %.2f ms, without %.2f ms (median); the log "
                "costs %.2f ms (%lu bytes of log, %lu a run)\n",
                rounds, Median(with) * 1e3, Median(without) * 1e3,
                (Median(with) - Median(without)) * 1e3, written.nFileSizeLow,
                written.nFileSizeLow / static_cast<unsigned long>(rounds));
    return 0;
}
