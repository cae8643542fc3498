// The file calls of the Windows platform, and extraction through them.
#include "payload/extract_patch.h"
#include "payload/temp_name.h"
#include "platform/files.h"

#include "platform/win32/own_file_security.h"
#include "runlog/log_without_links.h"

#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>
#include <string>

namespace {

// A fresh directory under the temporary directory, with TMP pointing at it.
class Win32Files : public ::testing::Test {
  protected:
    void SetUp() override {
        std::wstring temp;
        ASSERT_TRUE(platform::TempDirectory(temp));
        dir_ = temp + L"corvath-platform-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(++counter_);
        ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr));
        SetEnvironmentVariableW(L"TMP", dir_.c_str());
        payload::ResetTempNameCounter();
    }
    static std::uint64_t SizeOf(const std::wstring& path) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
            return 0;
        }
        return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    }

    std::wstring dir_;
    static inline int counter_ = 0;
};

TEST_F(Win32Files, CreateNewRefusesAnExistingFileAndLeavesIt) {
    const std::wstring path = dir_ + L"\\taken";
    platform::OpenResult result;
    {
        platform::File file =
            platform::OpenFileForWriting(path, platform::OpenMode::CreateNew, result);
        ASSERT_EQ(result, platform::OpenResult::Opened);
        ASSERT_TRUE(platform::WriteToFile(file, "abc", 3));
    }
    platform::File again =
        platform::OpenFileForWriting(path, platform::OpenMode::CreateNew, result);
    EXPECT_EQ(result, platform::OpenResult::AlreadyExists);
    EXPECT_FALSE(again.IsOpen());
    EXPECT_EQ(SizeOf(path), 3u);
}

TEST_F(Win32Files, OpenOrCreateKeepsContentAndAppendsAtTheEnd) {
    const std::wstring path = dir_ + L"\\list.txt";
    platform::OpenResult result;
    for (int i = 0; i < 2; ++i) {
        platform::File file =
            platform::OpenFileForWriting(path, platform::OpenMode::OpenOrCreate, result);
        ASSERT_EQ(result, platform::OpenResult::Opened);
        ASSERT_TRUE(platform::SeekToEnd(file));
        ASSERT_TRUE(platform::WriteToFile(file, "12345", 5));
    }
    EXPECT_EQ(SizeOf(path), 10u);
}

TEST_F(Win32Files, ExtractionNamesFollowTmpAndSkipTakenNames) {
    platform::OpenResult result;
    platform::OpenFileForWriting(dir_ + L"\\MSP2", platform::OpenMode::CreateNew, result);
    std::wstring path;
    ASSERT_TRUE(payload::ExtractPatch(path));
    EXPECT_EQ(path, dir_ + L"\\MSP3");
    EXPECT_EQ(SizeOf(path), 16049664u);
    EXPECT_EQ(SizeOf(dir_ + L"\\MSP2"), 0u);
}

TEST_F(Win32Files, ExtractionIntoAMissingFolderCreatesNothing) {
    std::wstring path = dir_ + L"\\missing\\out.msp";
    EXPECT_FALSE(payload::ExtractPatch(path));
    EXPECT_EQ(platform::ExaminePath(dir_ + L"\\missing"), platform::PathState::Free);
}

TEST_F(Win32Files, AHeldFileKeepsOthersOutAndOnlyThatFileIsDeletedByIdentity) {
    const std::wstring path = dir_ + L"\\copy";
    platform::OpenResult result;
    platform::FileId ours;
    {
        platform::File file =
            platform::OpenFileForWriting(path, platform::OpenMode::CreateNew, result);
        ASSERT_TRUE(platform::WriteToFile(file, "ours", 4));
        ASSERT_TRUE(platform::IdentifyFile(file, ours));
    }
    {
        platform::File held = platform::OpenFileHeldForReading(path);
        ASSERT_TRUE(held.IsOpen());
        EXPECT_FALSE(
            platform::OpenFileForWriting(path, platform::OpenMode::OpenOrCreate, result).IsOpen());
        EXPECT_FALSE(DeleteFileW(path.c_str()));
        EXPECT_FALSE(MoveFileW(path.c_str(), (path + L".moved").c_str()));
        char bytes[8] = {};
        std::size_t read = 0;
        EXPECT_TRUE(platform::ReadFromFile(held, bytes, sizeof bytes, read));
        EXPECT_EQ(std::string(bytes, read), "ours");
    }
    // Someone else's file under our name is left alone; our own is deleted.
    ASSERT_TRUE(MoveFileW(path.c_str(), (path + L".ours").c_str()));
    platform::OpenFileForWriting(path, platform::OpenMode::CreateNew, result);
    EXPECT_FALSE(platform::DeleteFileIfSame(path, ours));
    EXPECT_EQ(platform::ExaminePath(path), platform::PathState::Taken);
    EXPECT_TRUE(platform::DeleteFileIfSame(path + L".ours", ours));
    EXPECT_EQ(platform::ExaminePath(path + L".ours"), platform::PathState::Free);
}

TEST_F(Win32Files, TheInstallerLogIsHeldAgainstRenameAndDeleteButOpenToItsWriter) {
    const std::wstring path = dir_ + L"\\installer.log";
    platform::OpenResult result;
    {
        platform::File hold = platform::CreateFileForAnotherWriter(path, result);
        ASSERT_EQ(result, platform::OpenResult::Opened);
        // As Wine's Windows Installer opens its log: writing, sharing writing alone.
        HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(writer, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(writer, "MSI (c)", 7, &written, nullptr));
        CloseHandle(writer);
        EXPECT_FALSE(DeleteFileW(path.c_str()));
        EXPECT_FALSE(MoveFileW(path.c_str(), (path + L".moved").c_str()));
        EXPECT_EQ(platform::CreateFileForAnotherWriter(path, result).IsOpen(), false);
        EXPECT_EQ(result, platform::OpenResult::AlreadyExists);
    }
    EXPECT_EQ(SizeOf(path), 7u);
    EXPECT_TRUE(DeleteFileW(path.c_str())) << "let go of at the end";
}

TEST_F(Win32Files, AFileIsKnownByItsIdentityThroughAnyHandle) {
    platform::OpenResult result;
    platform::FileId first;
    platform::FileId again;
    platform::FileId other;
    platform::File a =
        platform::OpenFileForWriting(dir_ + L"\\a", platform::OpenMode::CreateNewShared, result);
    platform::File b =
        platform::OpenFileForWriting(dir_ + L"\\b", platform::OpenMode::CreateNew, result);
    platform::File reader(reinterpret_cast<std::intptr_t>(
        CreateFileW((dir_ + L"\\a").c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr)));
    ASSERT_TRUE(platform::IdentifyFile(a, first) && platform::IdentifyFile(reader, again) &&
                platform::IdentifyFile(b, other));
    EXPECT_EQ(first, again);
    EXPECT_FALSE(first == other);
    EXPECT_NE(first.index | first.indexHigh, 0u);
}

// A /log path is opened from its root down, a name at a time; Wine 8 shows no reparse point
// through a handle (a Unix symlink is followed, and mklink fails), so what is split is seen here.
TEST(Win32LogPath, APathSplitsIntoItsRootAndTheNamesBelowIt) {
    using Names = std::vector<std::wstring>;
    const struct {
        const wchar_t* path;
        const wchar_t* root;
        Names names;
    } rows[] = {
        {L"C:\\sp.log", L"C:\\", {L"sp.log"}},
        {L"C:\\Windows\\Logs\\sp.log", L"C:\\", {L"Windows", L"Logs", L"sp.log"}},
        {L"C:\\a\\\\b/sp.log", L"C:\\", {L"a", L"b", L"sp.log"}},
        {L"\\\\server\\share\\logs\\sp.log", L"\\\\server\\share\\", {L"logs", L"sp.log"}},
        {L"\\\\?\\C:\\logs\\sp.log", L"\\\\?\\C:\\", {L"logs", L"sp.log"}},
        {L"\\\\?\\UNC\\server\\share\\sp.log", L"\\\\?\\UNC\\server\\share\\", {L"sp.log"}},
    };
    for (const auto& row : rows) {
        std::wstring root;
        Names names;
        EXPECT_TRUE(platform::SplitFullPath(row.path, root, names)) << platform::Utf8(row.path);
        EXPECT_EQ(root, row.root) << platform::Utf8(row.path);
        EXPECT_EQ(names, row.names) << platform::Utf8(row.path);
    }
    for (const wchar_t* noFile : {L"C:\\", L"C:\\logs\\", L"relative\\sp.log"}) {
        std::wstring root;
        Names names;
        EXPECT_FALSE(platform::SplitFullPath(noFile, root, names)) << platform::Utf8(noFile);
    }
}

TEST_F(Win32Files, ALogIsAppendedToUnlessItHasAnotherNameAndItsFoldersAreHeld) {
    const std::wstring folder = dir_ + L"\\logs";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring path = folder + L"\\sp.log";
    std::uint32_t error = 0;
    {
        // Two runs side by side, as runs sharing a /log file are.
        std::vector<platform::File> heldOne;
        std::vector<platform::File> heldTwo;
        platform::File one = runlog::OpenLogWithoutLinks(path, heldOne, error);
        platform::File two = runlog::OpenLogWithoutLinks(path, heldTwo, error);
        ASSERT_TRUE(one.IsOpen() && two.IsOpen()) << error;
        ASSERT_TRUE(platform::AppendToFile(one, "one\r\n", 5));
        ASSERT_TRUE(platform::AppendToFile(two, "two\r\n", 5));
        // Held: neither the folder nor the file can be renamed or deleted.
        EXPECT_FALSE(MoveFileW(folder.c_str(), (folder + L".moved").c_str()));
        EXPECT_FALSE(RemoveDirectoryW(folder.c_str()));
        EXPECT_FALSE(MoveFileW(dir_.c_str(), (dir_ + L".moved").c_str()));
        EXPECT_FALSE(DeleteFileW(path.c_str()));
    }
    EXPECT_EQ(SizeOf(path), 10u);
    EXPECT_TRUE(MoveFileW(folder.c_str(), (folder + L".moved").c_str())) << "let go of";
    ASSERT_TRUE(MoveFileW((folder + L".moved").c_str(), folder.c_str()));
    // A second name for a file elsewhere (say, one of the system's), planted where the log goes.
    const std::wstring planted = folder + L"\\planted.log";
    ASSERT_TRUE(CreateHardLinkW(planted.c_str(), path.c_str(), nullptr));
    std::vector<platform::File> held;
    EXPECT_FALSE(runlog::OpenLogWithoutLinks(planted, held, error).IsOpen());
    EXPECT_EQ(error, 681u) << "ERROR_STOPPED_ON_SYMLINK";
    EXPECT_TRUE(held.empty());
    EXPECT_FALSE(runlog::OpenLogWithoutLinks(path, held, error).IsOpen());
    EXPECT_EQ(error, 681u);
    EXPECT_EQ(SizeOf(path), 10u);
    // A folder and a missing folder are refused as ever, with the reasons Windows gives.
    EXPECT_FALSE(runlog::OpenLogWithoutLinks(folder, held, error).IsOpen());
    EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(runlog::OpenLogWithoutLinks(dir_ + L"\\missing\\sp.log", held, error).IsOpen());
    EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_PATH_NOT_FOUND));
}

// Wine neither keeps nor enforces the security a file is made with: what Windows would let each
// account do is read from the descriptor the platform makes the copy with, as Windows parses it.
TEST(Win32OwnFile, ItsOwnerMayReadAndDeleteItAndChangeNothing) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        platform::win32::kOwnFileSecurity, SDDL_REVISION_1, &descriptor, nullptr));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
    EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "nothing inherited from the folder";
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
    ASSERT_TRUE(present && dacl != nullptr);
    const struct {
        WELL_KNOWN_SID_TYPE who;
        ACCESS_MASK rights;
    } expected[] = {
        {WinLocalSystemSid, FILE_ALL_ACCESS},
        {WinBuiltinAdministratorsSid, FILE_ALL_ACCESS},
        // Its owner, in place of the owner's implicit rights: no WRITE_DAC, and DELETE, without
        // which a run that is not elevated could not delete its copy in a folder such as C:\Temp.
        {WinCreatorOwnerRightsSid, FILE_GENERIC_READ | DELETE},
    };
    ASSERT_EQ(dacl->AceCount, std::size(expected));
    for (WORD index = 0; index < dacl->AceCount; ++index) {
        void* entry = nullptr;
        ASSERT_TRUE(GetAce(dacl, index, &entry));
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE) << index;
        EXPECT_TRUE(IsWellKnownSid(const_cast<DWORD*>(&allowed->SidStart), expected[index].who))
            << index;
        EXPECT_EQ(allowed->Mask, expected[index].rights) << index;
    }
    LocalFree(descriptor);
}

TEST_F(Win32Files, ATemporaryDirectoryTooLongFails) {
    const std::wstring longDir = L"C:\\" + std::wstring(1100, L'd');
    SetEnvironmentVariableW(L"TMP", longDir.c_str());
    SetEnvironmentVariableW(L"TEMP", longDir.c_str());
    std::wstring directory;
    EXPECT_FALSE(platform::TempDirectory(directory));
    std::wstring path;
    EXPECT_FALSE(payload::ExtractPatch(path));
    EXPECT_TRUE(path.empty());
}

} // namespace
