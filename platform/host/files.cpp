// Files of the host build: POSIX calls under the Windows names' contracts.
#include "platform/files.h"

#include "platform/host/simulation.h"
#include "platform/system.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

const wchar_t kPathSeparator = L'/';

namespace {

// Windows error codes for the errno values the jobs can meet.
std::uint32_t WindowsErrorOf(int error) {
    switch (error) {
    case ENOENT:
        return 3; // ERROR_PATH_NOT_FOUND
    case EACCES:
    case EPERM:
    case EROFS:
        return 5; // ERROR_ACCESS_DENIED
    case EEXIST:
        return 80; // ERROR_FILE_EXISTS
    case ENOSPC:
        return 112; // ERROR_DISK_FULL
    case EFBIG:
        return 223; // ERROR_FILE_TOO_LARGE
    default:
        return 31; // ERROR_GEN_FAILURE
    }
}

// A file's identity as IdentifyFile tells it.
FileId IdOf(const struct stat& info) {
    FileId id;
    id.volume = static_cast<std::uint64_t>(info.st_dev) ^
                (std::uint64_t{host::TheSimulation().volumeSerialHigh} << 32);
    id.index = static_cast<std::uint64_t>(info.st_ino);
    return id;
}

// What open() gave, as a file of ours and how the opening went.
File Owned(int fd, OpenResult& result) {
    if (fd < 0) {
        SetLastError(WindowsErrorOf(errno));
        result = errno == EEXIST ? OpenResult::AlreadyExists : OpenResult::Failed;
        return {};
    }
    result = OpenResult::Opened;
    return File(fd);
}

// The path an open file or folder has now, as the host tells it.
std::wstring PathOf(const File& file) {
    const std::string link = "/proc/self/fd/" + std::to_string(file.Handle());
    std::vector<char> target(4096);
    const ssize_t length = ::readlink(link.c_str(), target.data(), target.size() - 1);
    return length > 0 ? FromUtf8(std::string_view(target.data(), length)) : std::wstring();
}

// As Windows opens a name with FILE_OPEN_REPARSE_POINT: a symbolic link is opened as itself, and
// the caller sees what it is. -1 when `name` is no link.
int OpenLinkItself(int folder, const std::string& name) {
    const int link = ::openat(folder, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    struct stat info;
    if (link >= 0 && ::fstat(link, &info) == 0 && S_ISLNK(info.st_mode)) {
        return link;
    }
    if (link >= 0) {
        ::close(link);
    }
    return -1;
}

void BeforeOpenIn(const File& folder, const std::wstring& name) {
    if (host::TheSimulation().beforeOpenIn) {
        host::TheSimulation().beforeOpenIn(PathOf(folder), name);
    }
}

// Whether the open file is one made as the run's own (OpenMode::CreateNewOwn).
bool IsOwnFile(File& file) {
    return host::TheSimulation().ownFiles.count(PathOf(file)) != 0;
}

} // namespace

void File::Close() {
    if (handle_ != kNone) {
        ::close(static_cast<int>(handle_));
        handle_ = kNone;
    }
}

File OpenFileForWriting(const std::wstring& path, OpenMode mode, OpenResult& result) {
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
    switch (mode) {
    case OpenMode::CreateNew:
    case OpenMode::CreateNewShared:
        flags |= O_EXCL;
        break;
    case OpenMode::CreateOrTruncate:
        flags |= O_TRUNC;
        break;
    case OpenMode::OpenOrCreate:
        flags = O_RDWR | O_CREAT | O_CLOEXEC;
        break;
    case OpenMode::CreateNewHeld:
        flags |= O_EXCL | O_NOFOLLOW;
        break;
    case OpenMode::CreateNewOwn:
        flags = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
        break;
    }
    File file = Owned(::open(Utf8(path).c_str(), flags, 0644), result);
    if (mode == OpenMode::CreateNewOwn && file.IsOpen()) {
        host::TheSimulation().ownFiles.insert(path);
    }
    return file;
}

File OpenFileHeldForReading(const std::wstring& path) {
    // POSIX has no share modes: the hold is Windows' to give. A test may act as another process
    // in the moment before the hold begins.
    if (host::TheSimulation().beforeHeldOpen) {
        host::TheSimulation().beforeHeldOpen(path);
    }
    const int fd = ::open(Utf8(path).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(WindowsErrorOf(errno));
        return {};
    }
    return File(fd);
}

File CreateFileForAnotherWriter(const std::wstring& path, OpenResult& result) {
    return Owned(::open(Utf8(path).c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644), result);
}

File OpenFileToDelete(const std::wstring& path) {
    // POSIX has no share modes: a file another process holds is a Windows case.
    const int fd = ::open(Utf8(path).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        // A link opened with O_NOFOLLOW: Windows opens the link itself, and IsLink says so.
        if (errno == ELOOP) {
            const int link = ::open(Utf8(path).c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
            if (link >= 0) {
                return File(link);
            }
        }
        SetLastError(WindowsErrorOf(errno));
        return {};
    }
    return File(fd);
}

bool ReadFromFile(File& file, void* buffer, std::size_t capacity, std::size_t& read) {
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(file.Handle()), buffer, capacity);
        if (got >= 0) {
            read = static_cast<std::size_t>(got);
            return true;
        }
        if (errno != EINTR) {
            SetLastError(WindowsErrorOf(errno));
            read = 0;
            return false;
        }
    }
}

bool IdentifyFile(File& file, FileId& id) {
    struct stat info;
    if (::fstat(static_cast<int>(file.Handle()), &info) != 0) {
        SetLastError(WindowsErrorOf(errno));
        return false;
    }
    id = IdOf(info);
    return true;
}

bool SeekToEnd(File& file) {
    return ::lseek(static_cast<int>(file.Handle()), 0, SEEK_END) >= 0;
}

bool SeekTo(File& file, std::uint64_t position) {
    if (::lseek(static_cast<int>(file.Handle()), static_cast<off_t>(position), SEEK_SET) < 0) {
        SetLastError(WindowsErrorOf(errno));
        return false;
    }
    return true;
}

bool FilePosition(File& file, std::uint64_t& position) {
    const off_t now = ::lseek(static_cast<int>(file.Handle()), 0, SEEK_CUR);
    if (now < 0) {
        SetLastError(WindowsErrorOf(errno));
        return false;
    }
    position = static_cast<std::uint64_t>(now);
    return true;
}

bool TruncateFile(File& file, std::uint64_t size) {
    const int fd = static_cast<int>(file.Handle());
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0 &&
           ::lseek(fd, static_cast<off_t>(size), SEEK_SET) >= 0;
}

bool WriteToFile(File& file, const void* bytes, std::size_t count) {
    if (host::TheSimulation().spoilWrites && count > 0 && IsOwnFile(file)) {
        // What a faulty disk or filter driver does: the request succeeds, a byte lands wrong.
        std::vector<char> spoilt(static_cast<const char*>(bytes),
                                 static_cast<const char*>(bytes) + count);
        spoilt[count / 2] = static_cast<char>(~spoilt[count / 2]);
        host::TheSimulation().spoilWrites = false;
        return WriteToFile(file, spoilt.data(), count);
    }
    // write() may accept less than asked; a Windows write of one request completes or fails.
    const char* at = static_cast<const char*>(bytes);
    std::size_t left = count;
    while (left > 0) {
        const ssize_t written = ::write(static_cast<int>(file.Handle()), at, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            SetLastError(WindowsErrorOf(errno));
            return false;
        }
        at += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

bool AppendToFile(File& file, const void* bytes, std::size_t count) {
    // O_APPEND: the system puts each write at the end as one piece.
    return WriteToFile(file, bytes, count);
}

bool FileSize(File& file, std::uint64_t& size) {
    struct stat info;
    if (::fstat(static_cast<int>(file.Handle()), &info) != 0) {
        SetLastError(WindowsErrorOf(errno));
        return false;
    }
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool ReadLinkFacts(File& file, LinkFacts& facts) {
    struct stat info;
    if (::fstat(static_cast<int>(file.Handle()), &info) != 0) {
        SetLastError(WindowsErrorOf(errno));
        return false;
    }
    const std::vector<FileId>& madeLinks = host::TheSimulation().reparsePoints;
    facts.reparsePoint = S_ISLNK(info.st_mode) || std::find(madeLinks.begin(), madeLinks.end(),
                                                            IdOf(info)) != madeLinks.end();
    // A folder has one name on Windows; POSIX counts its subfolders' "..".
    facts.names = S_ISDIR(info.st_mode) ? 1 : static_cast<std::uint32_t>(info.st_nlink);
    return true;
}

bool SplitFullPath(const std::wstring& path, std::wstring& root, std::vector<std::wstring>& names) {
    root = L"/";
    names.clear();
    std::size_t start = 1;
    for (std::size_t at = 1; at <= path.size(); ++at) {
        if (at == path.size() || path[at] == L'/') {
            if (at > start) {
                names.push_back(path.substr(start, at - start));
            }
            start = at + 1;
        }
    }
    if (!path.starts_with(L'/') || path.ends_with(L'/') || names.empty()) {
        SetLastError(123); // ERROR_INVALID_NAME
        return false;
    }
    return true;
}

File OpenRootFolder(const std::wstring& root) {
    const int fd = ::open(Utf8(root).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(WindowsErrorOf(errno));
        return {};
    }
    return File(fd);
}

File HoldFolderIn(File& folder, const std::wstring& name) {
    BeforeOpenIn(folder, name);
    const int parent = static_cast<int>(folder.Handle());
    const std::string entry = Utf8(name);
    const int fd = ::openat(parent, entry.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        const int link = error == ELOOP || error == ENOTDIR ? OpenLinkItself(parent, entry) : -1;
        if (link >= 0) {
            return File(link);
        }
        SetLastError(error == ENOTDIR ? 3 : WindowsErrorOf(error)); // ERROR_PATH_NOT_FOUND
        return {};
    }
    struct stat info;
    if (::fstat(fd, &info) == 0) {
        host::TheSimulation().heldFolders.emplace_back(fd, IdOf(info));
    }
    return File(fd);
}

File OpenToAppendIn(File& folder, const std::wstring& name) {
    BeforeOpenIn(folder, name);
    const int parent = static_cast<int>(folder.Handle());
    const std::string entry = Utf8(name);
    const int fd = ::openat(parent, entry.c_str(),
                            O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int error = errno;
        const int link = error == ELOOP ? OpenLinkItself(parent, entry) : -1;
        if (link >= 0) {
            return File(link);
        }
        SetLastError(WindowsErrorOf(error));
        return {};
    }
    return File(fd);
}

namespace host {

bool RenameAsAnotherProcess(const std::wstring& from, const std::wstring& to) {
    struct stat info;
    if (::lstat(Utf8(from).c_str(), &info) != 0) {
        return false;
    }
    for (const auto& [handle, id] : TheSimulation().heldFolders) {
        struct stat held;
        // A handle still open on that very folder (a number reused by another file is not one).
        if (::fstat(static_cast<int>(handle), &held) == 0 && IdOf(held) == id && IdOf(info) == id) {
            SetLastError(32); // ERROR_SHARING_VIOLATION
            return false;
        }
    }
    return ::rename(Utf8(from).c_str(), Utf8(to).c_str()) == 0;
}

bool MakeJunctionInPlace(const std::wstring& folder, const std::wstring& target) {
    std::error_code error;
    struct stat info;
    if (::lstat(Utf8(folder).c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        !std::filesystem::is_empty(Utf8(folder), error)) {
        return false;
    }
    TheSimulation().reparsePoints.push_back(IdOf(info));
    return ::rename(Utf8(folder).c_str(), Utf8(folder + L".object").c_str()) == 0 &&
           ::symlink(Utf8(target).c_str(), Utf8(folder).c_str()) == 0;
}

} // namespace host

bool DeleteOpenFile(File& file, const std::wstring& path) {
    // By name, but only while the name still leads to the open file.
    FileId id;
    return IdentifyFile(file, id) && DeleteFileIfSame(path, id);
}

bool DeleteFileAt(const std::wstring& path) {
    return ::unlink(Utf8(path).c_str()) == 0;
}

bool DeleteFileIfSame(const std::wstring& path, const FileId& id) {
    if (host::TheSimulation().undeletable.count(path) != 0) {
        SetLastError(32); // ERROR_SHARING_VIOLATION: someone else has it open
        return false;
    }
    struct stat info;
    if (::lstat(Utf8(path).c_str(), &info) != 0 || S_ISLNK(info.st_mode) || !(IdOf(info) == id)) {
        SetLastError(2); // ERROR_FILE_NOT_FOUND
        return false;
    }
    return DeleteFileAt(path);
}

PathState ExaminePath(const std::wstring& path) {
    struct stat info;
    if (::stat(Utf8(path).c_str(), &info) == 0) {
        return PathState::Taken;
    }
    if (errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG) {
        return PathState::Free;
    }
    return PathState::Unexamined;
}

bool IsDirectory(const std::wstring& path) {
    struct stat info;
    return ::stat(Utf8(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::wstring CurrentDriveRoot() {
    return host::TheSimulation().driveRoot;
}

bool ListFiles(const std::wstring& folder, const std::wstring& prefix, const std::wstring& suffix,
               std::size_t limit, std::vector<std::wstring>& names) {
    DIR* directory = ::opendir(Utf8(folder).c_str());
    if (directory == nullptr) {
        SetLastError(WindowsErrorOf(errno));
        return false;
    }
    const std::string first = Utf8(prefix);
    const std::string last = Utf8(suffix);
    auto lower = [](std::string text) {
        for (char& c : text) {
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        }
        return text;
    };
    while (names.size() < limit) {
        const dirent* entry = ::readdir(directory);
        if (entry == nullptr) {
            break;
        }
        const std::string name = lower(entry->d_name);
        if (entry->d_type != DT_DIR && name.size() >= first.size() + last.size() &&
            name.compare(0, first.size(), lower(first)) == 0 &&
            name.compare(name.size() - last.size(), last.size(), lower(last)) == 0) {
            names.push_back(FromUtf8(entry->d_name));
        }
    }
    ::closedir(directory);
    return true;
}

bool TempDirectory(std::wstring& directory) {
    std::wstring found;
    if (!EnvironmentVariable(L"TMP", found) && !EnvironmentVariable(L"TEMP", found)) {
        found = L"/tmp";
    }
    if (found.empty() || found.back() != L'/') {
        found.push_back(L'/');
    }
    if (found.size() >= 1024) {
        return false;
    }
    directory = found;
    return true;
}

bool FullPathName(const std::wstring& path, std::size_t capacity, std::wstring& fullPath) {
    if (path.empty()) {
        return false;
    }
    // As GetFullPathNameW: against the current directory, with "." and ".." worked out.
    std::error_code error;
    std::filesystem::path full(Utf8(path));
    if (full.is_relative()) {
        full = std::filesystem::current_path(error) / full;
        if (error) {
            return false;
        }
    }
    const std::wstring text = FromUtf8(full.lexically_normal().string());
    if (text.size() >= capacity) {
        SetLastError(206); // ERROR_FILENAME_EXCED_RANGE
        return false;
    }
    fullPath = text;
    return true;
}

} // namespace platform
