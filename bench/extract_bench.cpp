// Extraction of the embedded package, and the held and verified copy a default run makes,
// against a raw write of the same bytes from memory. Prints median times, the medians of the
// per-round ratios, and peak working sets: with msi.dll loaded and nothing done yet, then after
// a default run's steps up to the installer call (copy made and verified, target list read,
// products looked up), both before the raw write's own copy of the package exists.
#include "install/discovery.h"
#include "install/product.h"
#include "payload/extract_patch.h"
#include "payload/patch_copy.h"
#include "payload/patch_summary.h"
#include "payload/resource_store.h"
#include "platform/files.h"

#include "bench_clock.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using bench::Median;
using bench::Seconds;

std::size_t PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}

bool RawWrite(const std::wstring& path, const void* bytes, std::size_t size) {
    platform::OpenResult result;
    platform::File file =
        platform::OpenFileForWriting(path, platform::OpenMode::CreateOrTruncate, result);
    return file.IsOpen() && platform::WriteToFile(file, bytes, size);
}

// A default run's steps before its first installer call; false when one fails.
bool DefaultRunUpToTheInstaller() {
    payload::PatchCopy copy;
    std::wstring targets;
    if (!copy.Make() || !payload::ReadPatchTargets(copy.Path(), targets)) {
        return false;
    }
    install::DiscoverProducts(install::ProductRecord{}, targets);
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int rounds = argc > 1 ? _wtoi(argv[1]) : 15;
    std::wstring directory;
    platform::TempDirectory(directory);
    const std::wstring extractPath = directory + L"corvath-bench-extract.msp";
    const std::wstring rawPath = directory + L"corvath-bench-raw.msp";
    constexpr double kMiB = 1024.0 * 1024.0;

    const std::size_t baseline = PeakWorkingSet();
    LoadLibraryExW(L"msi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    const std::size_t withInstaller = PeakWorkingSet();
    if (!DefaultRunUpToTheInstaller()) {
        std::fprintf(stderr, "the default run's first steps failed\n");
        return 1;
    }
    const std::size_t defaultRunPeak = PeakWorkingSet();

    // Every timed write makes a new file: replacing one of 16 MB first frees its pages, which
    // costs as much again and would blur the comparison.
    std::vector<double> extractTimes;
    for (int i = 0; i < rounds; ++i) {
        DeleteFileW(extractPath.c_str());
        std::wstring path = extractPath;
        const double start = Seconds();
        if (!payload::ExtractPatch(path)) {
            std::fprintf(stderr, "extraction failed\n");
            return 1;
        }
        extractTimes.push_back(Seconds() - start);
    }
    const std::size_t extractionPeak = PeakWorkingSet();

    const platform::ResourceRef package = payload::FindEmbeddedPackage();
    const std::size_t size = payload::ResourceSize(package);
    auto copy = std::make_unique<char[]>(size);
    std::memcpy(copy.get(), payload::ResourceBytes(package), size);

    // The three writes of a round take turns at going first: a write right after another one
    // of 16 MB meets the system's write-back of the first.
    std::vector<double> rawTimes;
    std::vector<double> heldTimes;
    std::vector<double> ratios;
    std::vector<double> heldRatios;
    for (int i = 0; i < rounds; ++i) {
        DeleteFileW(extractPath.c_str());
        DeleteFileW(rawPath.c_str());
        double extract = 0;
        double make = 0;
        double raw = 0;
        for (int turn = 0; turn < 3; ++turn) {
            const double start = Seconds();
            switch ((i + turn) % 3) {
            case 0: {
                std::wstring path = extractPath;
                payload::ExtractPatch(path);
                extract = Seconds() - start;
                break;
            }
            case 1: {
                payload::PatchCopy held;
                if (!held.Make()) {
                    std::fprintf(stderr, "the held copy failed\n");
                    return 1;
                }
                make = Seconds() - start;
                break; // deleted here, outside the time taken
            }
            case 2:
                if (!RawWrite(rawPath, copy.get(), size)) {
                    std::fprintf(stderr, "raw write failed\n");
                    return 1;
                }
                raw = Seconds() - start;
                break;
            }
        }
        rawTimes.push_back(raw);
        heldTimes.push_back(make);
        ratios.push_back(extract / raw);
        heldRatios.push_back(make / raw);
    }
    DeleteFileW(extractPath.c_str());
    DeleteFileW(rawPath.c_str());

    std::printf("package: %zu bytes, %d rounds\n", size, rounds);
    std::printf("extract median: %.2f ms (first pass alone: %.2f ms)\n", Median(extractTimes) * 1e3,
                extractTimes.front() * 1e3);
    std::printf("extract + hold + verify median: %.2f ms\n", Median(heldTimes) * 1e3);
    std::printf("raw write median: %.2f ms\n", Median(rawTimes) * 1e3);
    std::printf("median ratio extract/raw: %.3f\n", Median(ratios));
    std::printf("median ratio (extract + verify)/raw: %.3f\n", Median(heldRatios));
    std::printf("peak working set: %.1f MiB at start, %.1f MiB with msi.dll loaded, %.1f MiB up to "
                "the installer call (the run's own: +%.2f MiB), %.1f MiB after extraction\n",
                baseline / kMiB, withInstaller / kMiB, defaultRunPeak / kMiB,
                (defaultRunPeak - withInstaller) / kMiB, extractionPeak / kMiB);
    return 0;
}
