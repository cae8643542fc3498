// Property 7 of the sample's edge packages through the real msi.dll.
#include "payload/patch_summary.h"
#include "platform/msi.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <string>

namespace {

// The Unix path in CORVATH_SAMPLE_DIR, as Wine's Z: drive shows it.
std::wstring SampleFile(const wchar_t* name) {
    wchar_t unixDir[1024] = {};
    GetEnvironmentVariableW(L"CORVATH_SAMPLE_DIR", unixDir, 1024);
    std::wstring path = std::wstring(L"Z:") + unixDir + L"/" + name;
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return path;
}

// What msi.dll answers to the first attempt of the reader: a 2048-character buffer.
std::uint32_t FirstAttempt(const wchar_t* name, std::uint32_t& length) {
    platform::MsiHandle handle = 0;
    EXPECT_EQ(platform::MsiOpenSummary(SampleFile(name), handle), 0u) << name;
    const platform::MsiHandleOwner owner(handle);
    std::wstring buffer(2048, L'\0');
    length = 2048;
    return platform::MsiSummaryText(owner.Get(), 7, buffer.data(), length);
}

TEST(Win32Summary, TheSecondAttemptIsNeededFrom2048Characters) {
    struct Row {
        const wchar_t* file;
        std::uint32_t firstResult;
        std::uint32_t length;
    };
    const Row rows[] = {
        {L"corvath-sp-sample.msp", 0, 857},
        {L"edge-pid7-2047.msp", 0, 2047},
        {L"edge-pid7-2048.msp", 234, 2048},
        {L"edge-pid7-10000.msp", 234, 10000},
    };
    for (const Row& row : rows) {
        std::uint32_t length = 0;
        EXPECT_EQ(FirstAttempt(row.file, length), row.firstResult) << row.file;
        EXPECT_EQ(length, row.length) << row.file;

        std::wstring targets;
        ASSERT_TRUE(payload::ReadPatchTargets(SampleFile(row.file), targets)) << row.file;
        EXPECT_EQ(targets.size(), row.length) << row.file;
    }
}

TEST(Win32Summary, AbsentAndBrokenTargetLists) {
    std::wstring targets = L"old";
    ASSERT_TRUE(payload::ReadPatchTargets(SampleFile(L"edge-no-pid7.msp"), targets));
    EXPECT_TRUE(targets.empty());

    ASSERT_TRUE(payload::ReadPatchTargets(SampleFile(L"edge-empty-entry.msp"), targets));
    EXPECT_NE(targets.find(L";;"), std::wstring::npos);

    for (const wchar_t* file : {L"edge-not-cfb.msp", L"no-such-file.msp"}) {
        targets = L"old";
        EXPECT_FALSE(payload::ReadPatchTargets(SampleFile(file), targets)) << file;
        EXPECT_EQ(targets, L"old") << file;
    }
}

TEST(Win32Summary, RelativePathsResolveAgainstTheCurrentDirectory) {
    const std::wstring sample = SampleFile(L"corvath-sp-sample.msp");
    const std::wstring directory = sample.substr(0, sample.rfind(L'\\'));
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(directory.c_str()));
    std::wstring targets;
    EXPECT_TRUE(payload::ReadPatchTargets(L"corvath-sp-sample.msp", targets));
    EXPECT_EQ(targets.size(), 857u);
    SetCurrentDirectoryW(previous);
}

TEST(Win32Summary, AFullPathOver260CharactersIsNeverOpened) {
    std::wstring targets = L"old";
    EXPECT_FALSE(
        payload::ReadPatchTargets(L"C:\\" + std::wstring(300, L'd') + L"\\x.msp", targets));
    EXPECT_EQ(targets, L"old");
}

} // namespace
