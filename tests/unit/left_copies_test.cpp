// What the next run removes after a run that was killed: the copies noted by runs that are gone,
// and nothing else.
#include "install/run_install.h"
#include "payload/copy_note.h"
#include "payload/extract_patch.h"
#include "platform/host/simulation.h"
#include "test_support.h"

#include <fstream>
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

    payload::RemoveLeftCopies(scratchWide_);
    EXPECT_EQ(Files(),
              (std::vector<std::string>{"MSP3", "MSP4", "MSP5", "MSP7", "MSP8", "MSP8.corvath-sp",
                                        "other", "other.corvath-sp", "target"}));
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
