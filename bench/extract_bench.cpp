// Extraction of the embedded package against a raw write of the same bytes from memory.
// Prints the median time of each, the median of the per-round ratios, and the peak working set
// reached by extraction alone (measured before the raw write's own copy exists).
#include "payload/extract_patch.h"
#include "payload/resource_store.h"
#include "platform/files.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

double Seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

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

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int rounds = argc > 1 ? _wtoi(argv[1]) : 15;
    std::wstring directory;
    platform::TempDirectory(directory);
    const std::wstring extractPath = directory + L"corvath-bench-extract.msp";
    const std::wstring rawPath = directory + L"corvath-bench-raw.msp";

    const std::size_t baseline = PeakWorkingSet();
    std::vector<double> extractTimes;
    for (int i = 0; i < rounds; ++i) {
        std::wstring path = extractPath;
        const double start = Seconds();
        if (!payload::ExtractPatch(path)) {
            std::fprintf(stderr, "extraction failed\n");
            return 1;
        }
        extractTimes.push_back(Seconds() - start);
    }
    const std::size_t extractionPeak = PeakWorkingSet();

    const platform::ResourceRef package = payload::FindResourceEntry(L"MSP", L"IDR_MSP");
    const std::size_t size = payload::ResourceSize(package);
    auto copy = std::make_unique<char[]>(size);
    std::memcpy(copy.get(), payload::ResourceBytes(package), size);

    std::vector<double> rawTimes;
    std::vector<double> ratios;
    for (int i = 0; i < rounds; ++i) {
        std::wstring path = extractPath;
        double start = Seconds();
        payload::ExtractPatch(path);
        const double extract = Seconds() - start;
        start = Seconds();
        if (!RawWrite(rawPath, copy.get(), size)) {
            std::fprintf(stderr, "raw write failed\n");
            return 1;
        }
        const double raw = Seconds() - start;
        rawTimes.push_back(raw);
        ratios.push_back(extract / raw);
    }
    DeleteFileW(extractPath.c_str());
    DeleteFileW(rawPath.c_str());

    constexpr double kMiB = 1024.0 * 1024.0;
    std::printf("package: %zu bytes, %d rounds\n", size, rounds);
    std::printf("extract median: %.2f ms (first pass alone: %.2f ms)\n", Median(extractTimes) * 1e3,
                extractTimes.front() * 1e3);
    std::printf("raw write median: %.2f ms\n", Median(rawTimes) * 1e3);
    std::printf("median ratio extract/raw: %.3f\n", Median(ratios));
    std::printf("peak working set: %.1f MiB before, %.1f MiB after extraction (+%.1f MiB; "
                "package %.1f MiB)\n",
                baseline / kMiB, extractionPeak / kMiB, (extractionPeak - baseline) / kMiB,
                size / kMiB);
    return 0;
}
