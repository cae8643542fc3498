// Packages with one fault each, as release engineers' hand-made files have them: the checker
// the build runs refuses each with its one line, in a fraction of a second of processor time
// and in memory bounded by the file's own size, whatever sizes and chains the file claims. The
// largest pack a build takes, with a chain through every sector, is read as quickly.
#include "hand_laid_package.h"

#include "msp/patch_rules.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <initializer_list>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace hand_laid;
namespace fs = std::filesystem;

struct Checked {
    std::string output;
    int status = -1;
    double processor_seconds = 0;
    long peak_kib = 0;
};

// corvath-pack-check on `file`, as the build runs it, in a process of its own so that its
// time and peak memory are its own. Forked, not spawned: a process spawned with the test's own
// memory (vfork) inherits the test's peak as its own; a forked one starts from what the test
// holds at the time, which is little.
Checked check(const fs::path& file) {
    Checked checked;
    int out[2];
    if (pipe(out) != 0)
        return checked;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execl(CORVATH_PACK_CHECK, CORVATH_PACK_CHECK, file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    char buffer[4096];
    for (ssize_t got; pid > 0 && (got = read(out[0], buffer, sizeof buffer)) > 0;)
        checked.output.append(buffer, static_cast<std::size_t>(got));
    close(out[0]);
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return checked;
    checked.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    checked.processor_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                                (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    checked.peak_kib = usage.ru_maxrss;
    return checked;
}

// The checker takes milliseconds for a small file and 0.3 s for the largest pack's long chain,
// unoptimised; the bounds leave room for sanitizers. Its memory beyond what it needs to start
// is a few megabytes and, for a large file, its FAT at most (a 128th of the file).
void expect_quick_and_small(const Checked& checked, std::uint64_t file_size,
                            const std::string& what) {
    static const long baseline_kib = check("no-such-file.msp").peak_kib;
    EXPECT_LT(checked.processor_seconds, 1.0) << what;
    EXPECT_LT(checked.peak_kib, baseline_kib + 4096 + static_cast<long>(file_size / 32 / 1024))
        << what;
}

std::string refusal(const std::string& rule) {
    return "refuse=" + rule + "\n";
}

// A hand-laid patch holds no transform: a sound one is read through every rule of the compound
// file and its streams to the last, which asks for the versions its transforms would give.
const std::string kReadToTheEnd =
    refusal("its summary property 8 lists no transform, so the patch does not say which versions "
            "it changes: give --target-version and --applicable-versions");

const std::string kCutoff =
    refusal("the compound file's header is damaged (its mini stream cutoff is not 4096)");

// The stream claims `size` bytes, and its last mini sector leads back to its first.
void loop_claiming(SmallPatch& patch, StreamId id, std::uint32_t size) {
    patch.put(patch.size_of(id), size);
    patch.put(patch.last_link_of(id), patch.first_mini_sector(id));
}

// The cutoff FFFFFFFF, and the streams `ids` claiming 64 MiB each through a looping mini chain.
SmallPatch cutoff_ffffffff_and_loops(std::initializer_list<StreamId> ids) {
    SmallPatch patch = small_patch();
    patch.put(kHeaderMiniStreamCutoff, 0xFFFFFFFF);
    for (StreamId id : ids)
        loop_claiming(patch, id, 64u << 20);
    return patch;
}

// _StringPool entries whose offsets wrap in 32 bits: a string of 0xFFFFFFF8 bytes, then
// "AllowRemoval" and "1" (ids 2 and 3), which the table's row names.
Metadata wrapping_pool() {
    Metadata metadata;
    metadata.pool = {0xE4, 0x04, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0xF8, 0xFF,
                     0xFF, 0xFF, 0x0C, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00};
    const std::string data = "AllowRemoval1";
    metadata.data.assign(data.begin(), data.end());
    metadata.table = {0, 0, 2, 0, 3, 0};
    return metadata;
}

TEST(BrokenPackages, EachIsRefusedWithItsLineQuicklyAndInLittleMemory) {
    struct Row {
        const char* what;
        std::function<SmallPatch()> make;
        std::string output;
    };
    const Row rows[] = {
        {"sound, as laid", [] { return small_patch(); }, kReadToTheEnd},
        {"mini-loop-summary-64m", [] { return cutoff_ffffffff_and_loops({kSummary}); }, kCutoff},
        {"mini-loop-all-64m",
         [] {
             return cutoff_ffffffff_and_loops({kSummary, kStringPool, kStringData, kMetadata});
         },
         kCutoff},
        {"mini-loop-pool-64m", [] { return cutoff_ffffffff_and_loops({kStringPool}); }, kCutoff},
        {"every stream claims 64 MiB, the cutoff 4096",
         [] {
             SmallPatch patch = small_patch();
             for (StreamId id : {kSummary, kStringPool, kStringData, kMetadata})
                 patch.put(patch.size_of(id), 64u << 20);
             return patch;
         },
         refusal("a sector chain of the compound file runs past its end")},
        {"mini-loop-normal-cutoff",
         [] {
             SmallPatch patch = small_patch();
             loop_claiming(patch, kSummary, 4000);
             return patch;
         },
         refusal("a mini sector chain of the compound file loops")},
        {"pool-offset-wrap", [] { return small_patch(wrapping_pool()); },
         refusal("its string pool is damaged (its strings run past _StringData)")},
    };
    const fs::path file = fs::path(testing::TempDir()) / "broken.msp";
    for (const Row& row : rows) {
        const SmallPatch patch = row.make();
        patch.write(file);
        const Checked checked = check(file);
        EXPECT_EQ(checked.output, row.output) << row.what;
        EXPECT_EQ(checked.status, row.output.starts_with("refuse=") ? 1 : 0) << row.what;
        expect_quick_and_small(checked, patch.bytes.size(), row.what);
    }
    fs::remove(file);
}

TEST(BrokenPackages, ADifatChainThatLinksToItself) {
    // As it came, its cutoff is 0; with the cutoff it should have, the DIFAT's loop is met.
    const std::uint64_t size = fs::file_size(CORVATH_DIFAT_CYCLE_MSP);
    const Checked as_it_came = check(CORVATH_DIFAT_CYCLE_MSP);
    EXPECT_EQ(as_it_came.output, kCutoff);
    expect_quick_and_small(as_it_came, size, "as it came");

    const fs::path file = fs::path(testing::TempDir()) / "difat-cycle.msp";
    fs::copy_file(CORVATH_DIFAT_CYCLE_MSP, file, fs::copy_options::overwrite_existing);
    std::fstream cutoff(file, std::ios::binary | std::ios::in | std::ios::out);
    cutoff.seekp(kHeaderMiniStreamCutoff);
    cutoff.write("\x00\x10\x00\x00", 4);
    cutoff.close();
    const Checked checked = check(file);
    EXPECT_EQ(checked.output, refusal("the compound file's sector table (DIFAT) loops"));
    EXPECT_EQ(checked.status, 1);
    expect_quick_and_small(checked, size, "cutoff 4096");
    fs::remove(file);
}

TEST(BrokenPackages, AChainThroughTheLargestPack) {
    // Sparse files: 33 MB of FAT and DIFAT on disk, the rest a hole.
    const std::uint64_t size = corvath::msp::kPackCarryLimit;
    const std::string warning = "warn=" + corvath::msp::size_warning(size).value() + "\n";
    struct Row {
        const char* what;
        ChainEnd end;
        std::string output;
    };
    const Row rows[] = {
        {"its last sector leads back to its first", ChainEnd::Loop,
         warning + refusal("a sector chain of the compound file loops")},
        {"sound", ChainEnd::EndMark, warning + kReadToTheEnd},
    };
    const fs::path file = fs::path(testing::TempDir()) / "largest.msp";
    for (const Row& row : rows) {
        write_long_chain_patch(file, size, row.end);
        ASSERT_EQ(fs::file_size(file), size);
        const Checked checked = check(file);
        EXPECT_EQ(checked.output, row.output) << row.what;
        expect_quick_and_small(checked, size, row.what);
    }
    fs::remove(file);
}

} // namespace
