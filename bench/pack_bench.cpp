// The packer against the work every pack must do: a copy of the patch in 8 MiB blocks plus its
// SHA-256 by the same library (libcrypto). For each patch, ROUNDS rounds in which the two sides
// take turns at going first, each a process of its own started from the same state (the patch in
// the page cache, nothing left to write back, no output file). Prints the medians (min-max), their
// ratio and difference, and the packer's peak memory (its maximum resident set).
//
// usage: corvath-pack-bench ROUNDS PACKER BASE PATCH...
//        corvath-pack-bench --yardstick PATCH OUT      (one side of a round)
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kBlockSize = 8u << 20;

int Yardstick(const char* patchPath, const char* outPath) {
    std::FILE* in = std::fopen(patchPath, "rb");
    std::FILE* out = std::fopen(outPath, "wb");
    EVP_MD_CTX* hash = EVP_MD_CTX_new();
    if (in == nullptr || out == nullptr || hash == nullptr ||
        EVP_DigestInit_ex(hash, EVP_sha256(), nullptr) != 1) {
        return 1;
    }
    std::vector<unsigned char> block(kBlockSize);
    std::size_t got = 0;
    bool ok = true;
    while (ok && (got = std::fread(block.data(), 1, block.size(), in)) > 0) {
        ok = EVP_DigestUpdate(hash, block.data(), got) == 1 &&
             std::fwrite(block.data(), 1, got, out) == got;
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    ok = ok && EVP_DigestFinal_ex(hash, digest, &length) == 1;
    EVP_MD_CTX_free(hash);
    std::fclose(in);
    return std::fclose(out) == 0 && ok ? 0 : 1;
}

// Reads the file through, so that each side finds it in the page cache, and lets the disk
// catch up with what the side before wrote.
void Settle(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    std::vector<char> block(kBlockSize);
    while (file != nullptr && std::fread(block.data(), 1, block.size(), file) > 0) {
    }
    if (file != nullptr) {
        std::fclose(file);
    }
    sync();
}

struct Timing {
    double seconds = 0;
    long peakKib = 0;
};

// Runs argv as a child; its wall time and maximum resident set.
bool Run(std::vector<std::string> argv, Timing& timing) {
    std::vector<char*> pointers;
    for (std::string& argument : argv) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        if (std::freopen("/dev/null", "w", stdout) == nullptr) {
            _exit(127);
        }
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) {
        return false;
    }
    timing.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    timing.peakKib = usage.ru_maxrss;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--yardstick") {
        return Yardstick(argv[2], argv[3]);
    }
    if (argc < 5) {
        std::fputs("usage: corvath-pack-bench ROUNDS PACKER BASE PATCH...\n", stderr);
        return 2;
    }
    const int rounds = std::atoi(argv[1]);
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    const std::string packer = argv[2];
    const std::string base = argv[3];
    std::printf("%-12s %6s  %-22s %-22s %7s %9s %9s\n", "patch", "rounds", "yardstick s",
                "packer s", "ratio", "diff s", "peak MiB");
    for (int p = 4; p < argc; ++p) {
        const std::string patch = argv[p];
        const std::filesystem::path folder = std::filesystem::temp_directory_path();
        const std::string copy = (folder / "corvath-pack-bench-copy.msp").string();
        const std::string pack = (folder / "corvath-pack-bench-pack.exe").string();
        std::vector<double> yard;
        std::vector<double> packed;
        long peak = 0;
        for (int round = 0; round < rounds; ++round) {
            for (int turn = 0; turn < 2; ++turn) {
                const bool packerTurn = (round + turn) % 2 == 0;
                std::filesystem::remove(copy);
                std::filesystem::remove(pack);
                Settle(patch);
                Timing timing;
                const bool ok =
                    packerTurn ? Run({packer, patch, "-o", pack, "--base", base}, timing)
                               : Run({self, "--yardstick", patch, copy}, timing);
                if (!ok) {
                    std::fprintf(stderr, "%s failed on %s\n", packerTurn ? "the packer" : "the copy",
                                 patch.c_str());
                    return 1;
                }
                (packerTurn ? packed : yard).push_back(timing.seconds);
                if (packerTurn) {
                    peak = std::max(peak, timing.peakKib);
                }
            }
        }
        std::filesystem::remove(copy);
        std::filesystem::remove(pack);
        const double y = Median(yard);
        const double k = Median(packed);
        char yardText[64];
        char packText[64];
        std::snprintf(yardText, sizeof yardText, "%.3f (%.3f-%.3f)", y,
                      *std::min_element(yard.begin(), yard.end()),
                      *std::max_element(yard.begin(), yard.end()));
        std::snprintf(packText, sizeof packText, "%.3f (%.3f-%.3f)", k,
                      *std::min_element(packed.begin(), packed.end()),
                      *std::max_element(packed.begin(), packed.end()));
        std::printf("%-12ju %6d  %-22s %-22s %7.2f %9.3f %9.1f\n",
                    static_cast<std::uintmax_t>(std::filesystem::file_size(patch)), rounds,
                    yardText, packText, k / y, k - y, peak / 1024.0);
        std::fflush(stdout);
    }
    return 0;
}
