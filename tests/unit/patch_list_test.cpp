#include "app/jobs.h"
#include "messages/presenter.h"
#include "payload/patch_list.h"
#include "platform/host/simulation.h"
#include "test_support.h"

#include <csignal>
#include <fstream>
#include <sys/resource.h>

namespace {

namespace fs = std::filesystem;
using platform::host::TheSimulation;
using testing_support::ReadFileBytes;
using testing_support::Wide;

TEST(PatchListName, KeepsFourCharactersAfterTheFirstHyphen) {
    struct Row {
        const wchar_t* targets;
        const wchar_t* name;
    };
    const Row rows[] = {
        {L"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}", L"patchlistBBBB.txt"},
        {L"X-Y:{AAAAAAAA-FFFF-CCCC-DDDD-EEEEEEEEEEEE}", L"patchlistFFFF.txt"},
        {L"ABCDEFG", L"patchlistABCD.txt"},
        {L"AB-C", L"patchlistC.txt"},
        {L"", L"patchlist.txt"},
        {L"AB", L"patchlistAB.txt"},
        {L"a:b:c-defgh", L"patchlistdefg.txt"},
        {L"{A-B};{C-D}", L"patchlistB};{.txt"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(payload::PatchListNameFor(row.targets), row.name) << row.targets;
    }
}

class PatchList : public testing_support::FreshProcess {
  protected:
    void SetUp() override {
        FreshProcess::SetUp();
        previous_ = fs::current_path();
        fs::create_directory(scratch_ / "cwd");
        fs::current_path(scratch_ / "cwd");
    }
    void TearDown() override {
        fs::current_path(previous_);
        FreshProcess::TearDown();
    }
    static std::vector<char> Record() { return ReadFileBytes(CORVATH_SAMPLE_DIR "/record206.txt"); }
    // What one run appends with the sample record.
    static std::vector<char> OneRun() {
        std::vector<char> expected = {'*', '*', '*', '*', '*', '\r', '\n'};
        const std::vector<char> record = Record();
        expected.insert(expected.end(), record.begin(), record.end());
        expected.push_back('\r');
        expected.push_back('\n');
        return expected;
    }
    void UseResources(const char* resFile) {
        TheSimulation().resourceFile =
            std::make_shared<const std::vector<char>>(ReadFileBytes(resFile));
    }

    fs::path previous_;
};

TEST_F(PatchList, WithoutANameTheFileIsNamedAfterTheTargetsSharedGroup) {
    std::wstring name;
    ASSERT_TRUE(app::WritePatchList(name));
    EXPECT_EQ(name, L"patchlist4F3E.txt");
    const std::vector<char> written = ReadFileBytes("patchlist4F3E.txt");
    EXPECT_EQ(written.size(), 935u);
    EXPECT_EQ(written, OneRun());
    EXPECT_FALSE(fs::exists(scratch_ / "MSP2")); // the copy read for the name is deleted
    EXPECT_TRUE(TheSimulation().shownBoxes.empty());
}

TEST_F(PatchList, EveryRunAppends) {
    std::ofstream("list.txt", std::ios::binary) << "old line without end";
    for (int run = 0; run < 2; ++run) {
        std::wstring name = L"list.txt";
        ASSERT_TRUE(app::WritePatchList(name));
        EXPECT_EQ(name, L"list.txt");
    }
    std::vector<char> expected = {'o', 'l', 'd', ' ', 'l', 'i', 'n', 'e', ' ', 'w',
                                  'i', 't', 'h', 'o', 'u', 't', ' ', 'e', 'n', 'd'};
    for (int run = 0; run < 2; ++run) {
        const std::vector<char> one = OneRun();
        expected.insert(expected.end(), one.begin(), one.end());
    }
    EXPECT_EQ(ReadFileBytes("list.txt"), expected);
    EXPECT_FALSE(fs::exists(scratch_ / "MSP2")); // a named list needs no extraction
}

TEST_F(PatchList, AFileThatCannotBeOpenedShows310AndCreatesNothing) {
    std::wstring name = Wide((scratch_ / "missing" / "list.txt").string());
    EXPECT_FALSE(app::WritePatchList(name));
    ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u);
    EXPECT_EQ(TheSimulation().shownBoxes[0].caption, L"Installation Error");
    EXPECT_NE(TheSimulation().shownBoxes[0].text.find(L"patch list"), std::wstring::npos);
    EXPECT_FALSE(fs::exists(scratch_ / "missing"));
}

TEST_F(PatchList, WithoutAUsableTemporaryFolderTheDefaultNameIsUsed) {
    setenv("TMP", std::string(1100, 'd').c_str(), 1);
    std::wstring name;
    ASSERT_TRUE(app::WritePatchList(name));
    EXPECT_EQ(name, L"patchlist.txt");
    EXPECT_EQ(ReadFileBytes("patchlist.txt"), OneRun());
}

TEST_F(PatchList, RecordsStopAtTheFirstMissingId) {
    UseResources(CORVATH_RECORDS_206_208_RES);
    std::wstring name = L"list.txt";
    ASSERT_TRUE(app::WritePatchList(name));
    EXPECT_EQ(ReadFileBytes("list.txt"), OneRun());
    EXPECT_TRUE(TheSimulation().shownBoxes.empty());
}

TEST_F(PatchList, AProgramWithoutRecordsShows310AndLeavesAnEmptyFile) {
    UseResources(CORVATH_NO_RECORDS_RES);
    std::wstring name = L"list.txt";
    EXPECT_TRUE(app::WritePatchList(name));
    ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u);
    EXPECT_NE(TheSimulation().shownBoxes[0].text.find(L"patch list"), std::wstring::npos);
    EXPECT_TRUE(fs::exists("list.txt"));
    EXPECT_EQ(fs::file_size("list.txt"), 0u);
}

TEST_F(PatchList, AFailedWriteShows300WithItsErrorAndLeavesWholeRecordsOnly) {
    // /dev/full accepts the open and fails every write with "no space".
    std::wstring name = L"/dev/full";
    EXPECT_TRUE(app::WritePatchList(name));
    ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u);
    const std::wstring& text = TheSimulation().shownBoxes[0].text;
    EXPECT_EQ(text.substr(text.size() - 5), L": 112") << "ERROR_DISK_FULL";
}

TEST_F(PatchList, ARecordCutShortByTheFileLimitIsRemovedAgain) {
    std::ofstream("list.txt", std::ios::binary) << "kept";
    // Room for the old bytes, one separator and part of the record, then EFBIG.
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    const rlimit tight{300, previous.rlim_max};
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &tight);
    std::wstring name = L"list.txt";
    const bool result = app::WritePatchList(name);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(result);
    EXPECT_EQ(ReadFileBytes("list.txt"), std::vector<char>({'k', 'e', 'p', 't'}));
    ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u);
    const std::wstring& text = TheSimulation().shownBoxes[0].text;
    EXPECT_EQ(text.substr(text.size() - 5), L": 223") << "ERROR_FILE_TOO_LARGE";
}

TEST_F(PatchList, QuietRunsShowNothingButBehaveTheSame) {
    messages::SetQuiet(true);
    std::wstring name = Wide((scratch_ / "missing" / "list.txt").string());
    EXPECT_FALSE(app::WritePatchList(name));
    EXPECT_TRUE(TheSimulation().shownBoxes.empty());
}

} // namespace
