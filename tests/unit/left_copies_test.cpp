// What the next run removes after a run that was killed: the copies noted by runs that are gone,
// and nothing else.
#include "install/run_install.h"
#include "payload/copy_note.h"
#include "payload/extract_patch.h"
#include "platform/host/simulation.h"
#include "test_support.h"

#include <csignal>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

class LeftCopies : public testing_support::FreshProcess {
  protected:
    // A copy and the note a run wrote for it, as a killed run leaves them.
    void Left(const std::string& name, std::size_t size, std::size_t notedSize = 0) {
        std::ofstream(scratch_ / name) << std::string(size, 'p');
        struct stat info;
        ASSERT_EQ(::stat((scratch_ / name).c_str(), &info), 0);
        Note(name, std::to_string(info.st_dev), std::to_string(info.st_ino),
             std::to_string(notedSize != 0 ? notedSize : size));
    }
    void Note(const std::string& name, const std::string& volume, const std::string& index,
              const std::string& size) {
        std::ofstream(scratch_ / (name + ".corvath-sp"), std::ios::binary)
            << "corvath-sp copy note\r\nvolume=" << volume << "\r\nindex=" << index
            << "\r\nsize=" << size << "\r\n";
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(scratch_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(LeftCopies, OnlyWhatAnEndedRunNotedAndStillIsGoes) {
    // FileIdInfo tells the volume's 64-bit serial; the notes Left() writes are an earlier pack's,
    // which knew its low 32 bits.
    platform::host::TheSimulation().volumeSerialHigh = 0xC0FFEE;
    Left("MSP2", 1000);      // removed with its note
    Left("MSP3", 1000, 999); // the size differs: kept, note removed
    Left("MSP4", 1000);      // replaced by another file since
    std::ofstream(scratch_ / "new") << std::string(1000, 'o');
    fs::rename(scratch_ / "new", scratch_ / "MSP4");
    std::ofstream(scratch_ / "MSP5") << "an /e output: no note";
    Note("MSP6", "1", "2", "1000"); // its copy is gone: the note goes
    Left("MSP7", 1000);             // a link to a noted file: kept
    fs::rename(scratch_ / "MSP7", scratch_ / "target");
    fs::create_symlink(scratch_ / "target", scratch_ / "MSP7");
    Left("MSP8", 1000); // a note that is not one: both kept
    std::ofstream(scratch_ / "MSP8.corvath-sp") << "volume=1\r\n";
    Left("other", 1000); // not a copy's name: both kept
    // This pack's note, with a volume that lacks the serial's high half: kept, note removed.
    std::ofstream(scratch_ / "MSP10") << std::string(1000, 'p');
    struct stat info;
    ASSERT_EQ(::stat((scratch_ / "MSP10").c_str(), &info), 0);
    std::ofstream(scratch_ / "MSP10.corvath-sp", std::ios::binary)
        << payload::CopyNoteText({info.st_dev, info.st_ino, 0}, 1000);

    payload::RemoveLeftCopies(scratchWide_);
    EXPECT_EQ(Files(),
              (std::vector<std::string>{"MSP10", "MSP3", "MSP4", "MSP5", "MSP7", "MSP8",
                                        "MSP8.corvath-sp", "other", "other.corvath-sp", "target"}));
}

TEST_F(LeftCopies, ACopyWrittenInPartThatCannotBeDeletedKeepsItsNoteAndItsSize) {
    // A file-size limit cuts the write short, as a full disk would; someone holds the copy, so
    // that it cannot be deleted either.
    platform::host::TheSimulation().undeletable = {scratchWide_ + L"/MSP2"};
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    const rlimit tight{1 << 20, previous.rlim_max};
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &tight);
    std::wstring path;
    platform::FileId written;
    payload::CopyNote note;
    const bool extracted = payload::ExtractPatch(path, &written, &note);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(extracted);
    EXPECT_EQ(Files(), (std::vector<std::string>{"MSP2", "MSP2.corvath-sp"}));
    EXPECT_EQ(fs::file_size(scratch_ / "MSP2"), 1u << 20);
    // The next run, once nobody holds it, removes what was written and its note.
    platform::host::TheSimulation().undeletable.clear();
    payload::RemoveLeftCopies(scratchWide_);
    EXPECT_TRUE(Files().empty()) << testing::PrintToString(Files());
}

TEST(CopyNoteText, EveryNumberTheWriterWritesReadsBack) {
    constexpr std::uint64_t kMost = ~std::uint64_t{0};
    const struct {
        const char* name;
        platform::FileId id;
        std::uint64_t size;
    } rows[] = {
        {"zeros", {0, 0, 0}, 0},
        {"2^64-1 everywhere", {kMost, kMost, kMost}, kMost},
        {"an index of 10^19 (NTFS, high sequence number)",
         {0x1234ABCD, 10000000000000000000u, 0},
         16049664},
        {"a 128-bit ReFS id",
         {0x8F3A00001234ABCDu, 0xFEDCBA9876543210u, 0x0123456789ABCDEFu},
         16049664},
    };
    for (const auto& row : rows) {
        payload::NotedCopy noted;
        ASSERT_TRUE(payload::ReadCopyNote(payload::CopyNoteText(row.id, row.size), noted))
            << row.name;
        EXPECT_EQ(noted.id, row.id) << row.name;
        EXPECT_EQ(noted.size, row.size) << row.name;
        EXPECT_FALSE(noted.byEarlierPack) << row.name;
    }
}

TEST(CopyNoteText, OnlyWholeNotesRead) {
    const std::string head = "corvath-sp copy note\r\nvolume=1\r\nindex=2\r\n";
    const struct {
        const char* name;
        std::string text;
        bool reads;
    } rows[] = {
        {"an earlier pack's note", head + "size=3\r\n", true},
        {"this pack's", head + "index-high=4\r\nsize=3\r\n", true},
        {"2^64", head + "size=18446744073709551616\r\n", false},
        {"21 digits", head + "size=000000000000000000003\r\n", false},
        {"an empty number", head + "index-high=\r\nsize=3\r\n", false},
        {"a high half that is no number", head + "index-high=x\r\nsize=3\r\n", false},
        {"no size", head, false},
        {"no line end", head + "size=3", false},
        {"another first line", "corvath-sp copy\r\nvolume=1\r\nindex=2\r\nsize=3\r\n", false},
    };
    for (const auto& row : rows) {
        payload::NotedCopy noted;
        EXPECT_EQ(payload::ReadCopyNote(row.text, noted), row.reads) << row.name;
    }
}

TEST(CopyNoteText, AnEarlierPacksNoteIsMatchedOnWhatItKnew) {
    payload::NotedCopy earlier;
    ASSERT_TRUE(payload::ReadCopyNote(
        "corvath-sp copy note\r\nvolume=305441741\r\nindex=77\r\nsize=3\r\n", earlier));
    EXPECT_TRUE(earlier.byEarlierPack);
    payload::NotedCopy current;
    ASSERT_TRUE(payload::ReadCopyNote(payload::CopyNoteText({305441741, 77, 0}, 3), current));
    const struct {
        const char* name;
        const payload::NotedCopy& noted;
        platform::FileId found;
        bool same;
    } rows[] = {
        {"earlier note, the serial's low 32 bits", earlier, {0x8F3A00001234ABCDu, 77, 0}, true},
        {"earlier note, another volume", earlier, {0x8F3A00001234ABCEu, 77, 0}, false},
        {"earlier note, another index", earlier, {305441741, 78, 0}, false},
        {"earlier note, an id past 64 bits", earlier, {305441741, 77, 1}, false},
        {"this pack's note, the whole serial", current, {305441741, 77, 0}, true},
        {"this pack's note, another serial's high half",
         current,
         {0x8F3A00001234ABCDu, 77, 0},
         false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(payload::IsNotedCopy(row.noted, row.found), row.same) << row.name;
    }
}

TEST_F(LeftCopies, ARunNotesItsCopyWhileItLivesAndTheNextRunCleansUpAfterAKill) {
    // A run's copy is noted while the run has it, and both go at its end.
    platform::host::TheSimulation().products[L"{6513270E-4F3E-0D37-F2A7-4DE452E6B438}"].properties =
        {{L"VersionString", L"8.1.0.4"}, {L"Language", L"1031"}};
    bool notedWhileHeld = false;
    platform::host::TheSimulation().beforeHeldOpen = [&](const std::wstring&) {
        notedWhileHeld = fs::exists(scratch_ / "MSP2.corvath-sp");
    };
    Left("MSP9", 16049664); // what a killed run left
    EXPECT_EQ(install::RunInstall().exitCode, 0u);
    EXPECT_TRUE(notedWhileHeld);
    EXPECT_TRUE(Files().empty()) << testing::PrintToString(Files());

    // A copy that cannot be deleted at the end keeps its note, and the next run removes both.
    install::ProductList().clear();
    platform::host::TheSimulation().undeletable = {scratchWide_ + L"/MSP3"};
    EXPECT_EQ(install::RunInstall().exitCode, 0u);
    EXPECT_EQ(Files(), (std::vector<std::string>{"MSP3", "MSP3.corvath-sp"}));
    install::ProductList().clear();
    platform::host::TheSimulation().undeletable.clear();
    EXPECT_EQ(install::RunInstall().exitCode, 0u);
    EXPECT_TRUE(Files().empty()) << testing::PrintToString(Files());
}

} // namespace
