#include "platform/files.h"

#include "platform/win32/own_file_security.h"

#include <windows.h>

#include <sddl.h>

#include <cstring>
#include <vector>

namespace platform {

const wchar_t kPathSeparator = L'\\';

namespace {

HANDLE AsHandle(std::intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}

// What CreateFileW gave, as a file of ours and how the opening went.
File Owned(HANDLE handle, OpenResult& result) {
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        result = (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                     ? OpenResult::AlreadyExists
                     : OpenResult::Failed;
        return {};
    }
    result = OpenResult::Opened;
    return File(reinterpret_cast<std::intptr_t>(handle));
}

File Owned(HANDLE handle) {
    OpenResult ignored;
    return Owned(handle, ignored);
}

} // namespace

void File::Close() {
    if (handle_ != kNone) {
        CloseHandle(AsHandle(handle_));
        handle_ = kNone;
    }
}

File OpenFileForWriting(const std::wstring& path, OpenMode mode, OpenResult& result) {
    DWORD access = GENERIC_WRITE;
    DWORD share = 0;
    DWORD disposition = CREATE_ALWAYS;
    switch (mode) {
    case OpenMode::CreateNew:
        disposition = CREATE_NEW;
        break;
    case OpenMode::CreateNewShared:
        share = FILE_SHARE_READ;
        disposition = CREATE_NEW;
        break;
    case OpenMode::CreateOrTruncate:
        disposition = CREATE_ALWAYS;
        break;
    case OpenMode::OpenOrCreate:
        access = GENERIC_READ | GENERIC_WRITE;
        share = FILE_SHARE_READ;
        disposition = OPEN_ALWAYS;
        break;
    case OpenMode::CreateNewHeld:
        access = GENERIC_WRITE | DELETE;
        share = FILE_SHARE_READ;
        disposition = CREATE_NEW;
        break;
    case OpenMode::CreateNewOwn:
        access = GENERIC_READ | GENERIC_WRITE | DELETE;
        disposition = CREATE_NEW;
        break;
    }
    // A new file is made under the name itself: a link that holds the name, even one that leads
    // nowhere, is taken as the name being taken, never followed.
    const DWORD flags =
        FILE_ATTRIBUTE_NORMAL | (disposition == CREATE_NEW ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    PSECURITY_DESCRIPTOR own = nullptr;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    if (mode == OpenMode::CreateNewOwn) {
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(win32::kOwnFileSecurity,
                                                                  SDDL_REVISION_1, &own, nullptr)) {
            result = OpenResult::Failed;
            return {};
        }
        attributes.lpSecurityDescriptor = own;
    }
    File file =
        Owned(CreateFileW(path.c_str(), access, share, own != nullptr ? &attributes : nullptr,
                          disposition, flags, nullptr),
              result);
    if (own != nullptr) {
        const DWORD error = GetLastError();
        LocalFree(own);
        ::SetLastError(error);
    }
    return file;
}

File OpenFileHeldForReading(const std::wstring& path) {
    // Sharing read alone: while we hold it, no one can open the file for writing or deleting,
    // and a rename needs delete access. Windows Installer only reads it, so it still gets in.
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return Owned(handle);
}

File CreateFileForAnotherWriter(const std::wstring& path, OpenResult& result) {
    // Sharing is weighed only between opens that touch the data or delete: a hold with no data
    // access keeps nobody out. Ours is write access, never used: it shares reading and writing,
    // so Windows Installer still opens the file to write (Wine's opens it sharing writing alone,
    // which a read access of ours would break; Windows' client and service both write one log at
    // once, so they share writing too), and it withholds delete sharing, so that nobody can
    // rename or delete the file while the elevated installer writes to it.
    HANDLE handle =
        CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return Owned(handle, result);
}

File OpenFileToDelete(const std::wstring& path) {
    // No sharing: a live run holds its copy and its note open, and so keeps them from us.
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return Owned(handle);
}

bool ReadFromFile(File& file, void* buffer, std::size_t capacity, std::size_t& read) {
    DWORD got = 0;
    const DWORD asked = capacity > MAXDWORD ? MAXDWORD : static_cast<DWORD>(capacity);
    if (!ReadFile(AsHandle(file.Handle()), buffer, asked, &got, nullptr)) {
        read = 0;
        return false;
    }
    read = got;
    return true;
}

bool IdentifyFile(File& file, FileId& id) {
    FILE_ID_INFO full{};
    if (GetFileInformationByHandleEx(AsHandle(file.Handle()), FileIdInfo, &full, sizeof full)) {
        static_assert(sizeof full.FileId.Identifier == 2 * sizeof(std::uint64_t));
        id.volume = full.VolumeSerialNumber;
        std::memcpy(&id.index, full.FileId.Identifier, sizeof id.index);
        std::memcpy(&id.indexHigh, full.FileId.Identifier + sizeof id.index, sizeof id.indexHigh);
        // A file system without 128-bit ids answers an id of zero, which is to be ignored: taken
        // for an identity, it would make every file on the volume the same file.
        if ((id.index | id.indexHigh) != 0) {
            return true;
        }
    }
    // Before Windows 8 and Server 2012, and on file systems that have no 128-bit id. The volume's
    // serial is then its low 32 bits.
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(AsHandle(file.Handle()), &info)) {
        return false;
    }
    id.volume = info.dwVolumeSerialNumber;
    id.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    id.indexHigh = 0;
    return true;
}

bool SeekToEnd(File& file) {
    return SetFilePointer(AsHandle(file.Handle()), 0, nullptr, FILE_END) !=
           INVALID_SET_FILE_POINTER;
}

bool SeekTo(File& file, std::uint64_t position) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(position);
    return SetFilePointerEx(AsHandle(file.Handle()), at, nullptr, FILE_BEGIN) != 0;
}

bool FilePosition(File& file, std::uint64_t& position) {
    LARGE_INTEGER zero{};
    LARGE_INTEGER now{};
    if (!SetFilePointerEx(AsHandle(file.Handle()), zero, &now, FILE_CURRENT)) {
        return false;
    }
    position = static_cast<std::uint64_t>(now.QuadPart);
    return true;
}

bool TruncateFile(File& file, std::uint64_t size) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(size);
    return SetFilePointerEx(AsHandle(file.Handle()), at, nullptr, FILE_BEGIN) &&
           SetEndOfFile(AsHandle(file.Handle()));
}

bool WriteToFile(File& file, const void* bytes, std::size_t count) {
    if (count > MAXDWORD) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    DWORD written = 0;
    const BOOL ok =
        WriteFile(AsHandle(file.Handle()), bytes, static_cast<DWORD>(count), &written, nullptr);
    if (ok && written != count) {
        ::SetLastError(ERROR_DISK_FULL);
    }
    return ok && written == count;
}

bool AppendToFile(File& file, const void* bytes, std::size_t count) {
    // Wine writes at the handle's own position even without FILE_WRITE_DATA, so the writers also
    // take turns: a lock on one byte far past any end of the file, which no reader ever meets.
    constexpr int kTurnAttempts = 300; // 10 ms apart: 3 s
    OVERLAPPED turn{};
    turn.Offset = 0xFFFFFFFE;
    turn.OffsetHigh = 0x7FFFFFFF;
    const HANDLE handle = AsHandle(file.Handle());
    bool locked = false;
    for (int attempt = 1; attempt <= kTurnAttempts; ++attempt) {
        locked = LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                            &turn) != 0;
        // A file system without locks answers otherwise, and waiting would not help.
        if (locked || GetLastError() != ERROR_LOCK_VIOLATION) {
            break;
        }
        Sleep(10);
    }
    LARGE_INTEGER zero{};
    const bool written =
        SetFilePointerEx(handle, zero, nullptr, FILE_END) && WriteToFile(file, bytes, count);
    if (locked) {
        const DWORD error = GetLastError();
        UnlockFileEx(handle, 0, 1, 0, &turn);
        ::SetLastError(error);
    }
    return written;
}

bool FileSize(File& file, std::uint64_t& size) {
    LARGE_INTEGER value{};
    if (!GetFileSizeEx(AsHandle(file.Handle()), &value)) {
        return false;
    }
    size = static_cast<std::uint64_t>(value.QuadPart);
    return true;
}

bool DeleteOpenFile(File& file, const std::wstring&) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(AsHandle(file.Handle()), FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

bool DeleteFileAt(const std::wstring& path) {
    return DeleteFileW(path.c_str()) != 0;
}

bool DeleteFileIfSame(const std::wstring& path, const FileId& id) {
    // Deleted through a handle on the very file we checked: a name swapped for a link to
    // someone else's file (a classic way to turn an elevated clean-up against the system) is
    // opened as the link, fails the check and is left alone.
    HANDLE handle = CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    File file(reinterpret_cast<std::intptr_t>(handle));
    FileId found;
    if (!IdentifyFile(file, found) || !(found == id)) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    return DeleteOpenFile(file, path);
}

PathState ExaminePath(const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return PathState::Taken;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
        error == ERROR_INVALID_NAME) {
        return PathState::Free;
    }
    return PathState::Unexamined;
}

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::wstring CurrentDriveRoot() {
    return L"\\";
}

namespace {

bool EqualsInsensitiveAscii(std::wstring_view a, std::wstring_view b) {
    auto lower = [](wchar_t c) {
        return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
    };
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

bool ListFiles(const std::wstring& folder, const std::wstring& prefix, const std::wstring& suffix,
               std::size_t limit, std::vector<std::wstring>& names) {
    // The pattern narrows the walk; the names are checked here, as a pattern also matches short
    // 8.3 names.
    std::wstring pattern = folder;
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') {
        pattern.push_back(L'\\');
    }
    pattern += prefix + L"*";
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    do {
        const std::wstring_view name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            name.size() >= prefix.size() + suffix.size() &&
            EqualsInsensitiveAscii(name.substr(0, prefix.size()), prefix) &&
            EqualsInsensitiveAscii(name.substr(name.size() - suffix.size()), suffix)) {
            names.emplace_back(name);
        }
    } while (names.size() < limit && FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

bool TempDirectory(std::wstring& directory) {
    constexpr DWORD kCapacity = 1024;
    std::vector<wchar_t> buffer(kCapacity);
    const DWORD length = GetTempPathW(kCapacity, buffer.data());
    if (length == 0 || length >= kCapacity) {
        return false;
    }
    directory.assign(buffer.data(), length);
    return true;
}

bool FullPathName(const std::wstring& path, std::size_t capacity, std::wstring& fullPath) {
    std::vector<wchar_t> buffer(capacity);
    const DWORD length =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(capacity), buffer.data(), nullptr);
    if (length == 0) {
        return false;
    }
    if (length >= capacity) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    fullPath.assign(buffer.data(), length);
    return true;
}

} // namespace platform
