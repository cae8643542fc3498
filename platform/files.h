// Files, paths and the environment, as the jobs need them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Text as files and the host's system calls take it: UTF-8, the program's one conversion each
// way. An unpaired surrogate, or a malformed sequence, becomes U+FFFD.
std::string Utf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

// What the path joins use between a directory and a name.
extern const wchar_t kPathSeparator;

enum class OpenMode {
    CreateNew,        // fails with AlreadyExists when the name is taken; never truncates
    CreateNewShared,  // the same, and others may read while it is open; a link is not followed
    CreateOrTruncate, // an existing file is emptied
    OpenOrCreate,     // keeps existing content; others may read while it is open
    CreateNewHeld,    // as CreateNewShared, and the file can be deleted through this handle
    CreateNewOwn,     // a file of the run's own in a shared folder: made new, shared with nobody
                      // while open, read back and deleted through this handle; once closed,
                      // nobody but SYSTEM and Administrators may change it, and its owner may
                      // read and delete it (its security on Windows). A link is not followed.
};

enum class OpenResult { Opened, AlreadyExists, Failed };

// Owns one open file and closes it once.
class File {
  public:
    File() = default;
    explicit File(std::intptr_t handle) : handle_(handle) {}
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = kNone; }
    File& operator=(File&& other) noexcept;
    ~File() { Close(); }

    bool IsOpen() const { return handle_ != kNone; }
    std::intptr_t Handle() const { return handle_; }
    void Close();

    static constexpr std::intptr_t kNone = -1;

  private:
    std::intptr_t handle_ = kNone;
};

File OpenFileForWriting(const std::wstring& path, OpenMode mode, OpenResult& result);
// Opens an existing file for reading and holds it so that nobody can write, rename or delete it
// until it is closed; readers may still open it. A link is never followed.
File OpenFileHeldForReading(const std::wstring& path);
// Makes a new file and holds it for another writer (Windows Installer, writing its log): it may
// open the file for writing, nobody may delete or rename it while held. A name that exists, even
// as a link, gives AlreadyExists and is not followed.
File CreateFileForAnotherWriter(const std::wstring& path, OpenResult& result);
// Opens an existing file to delete it, with no sharing at all: false (not open) while anyone
// else has it open. A link is opened as itself, never followed.
File OpenFileToDelete(const std::wstring& path);
// Reads up to `capacity` bytes at the current position; `read` is 0 at the end of the file.
bool ReadFromFile(File& file, void* buffer, std::size_t capacity, std::size_t& read);

// What makes one file that file, wherever its name points: on Windows, the volume and the
// 128-bit file id where the system has one (ReFS's do not fit 64 bits), else the 64-bit index.
struct FileId {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;     // the id's low 64 bits
    std::uint64_t indexHigh = 0; // its high 64 bits; 0 for a 64-bit index
    friend bool operator==(const FileId&, const FileId&) = default;
};
bool IdentifyFile(File& file, FileId& id);
// Moves the write position to the end of the file.
bool SeekToEnd(File& file);
// Moves the read or write position to `position`.
bool SeekTo(File& file, std::uint64_t position);
// The current write position.
bool FilePosition(File& file, std::uint64_t& position);
// Cuts the file at `size` and moves the write position there.
bool TruncateFile(File& file, std::uint64_t size);
// One write request; false unless every byte was accepted. The thread's last error tells why.
bool WriteToFile(File& file, const void* bytes, std::size_t count);
// One write at the end of a file that other processes append to as well (OpenToAppendIn): no
// write of theirs lands inside this one, nor this one inside theirs. Writers take turns for at
// most a few seconds; one that holds its turn longer is written past, not waited for.
bool AppendToFile(File& file, const void* bytes, std::size_t count);
// The file's size in bytes.
bool FileSize(File& file, std::uint64_t& size);
// What a handle tells of links: whether the object is a reparse point (a junction, a symbolic
// link, a mount point) and how many names it has (a file's hard links count).
struct LinkFacts {
    bool reparsePoint = false;
    std::uint32_t names = 0;
};
bool ReadLinkFacts(File& file, LinkFacts& facts);
// True when the open file is a link (a reparse point) rather than a file of its own.
bool IsLink(File& file);

// A path opened a folder at a time, each relative to the handle of the one before it, so that
// what one step checked is what the next step opens in, whatever is renamed meanwhile.
// The root of a full path ("C:\", "\\server\share\", "\\?\C:\", "/") and the names below it,
// the file's last. False, with ERROR_INVALID_NAME, for a path that names no file.
bool SplitFullPath(const std::wstring& path, std::wstring& root, std::vector<std::wstring>& names);
// Opens the root folder of a full path as a place to open names in. A root cannot be renamed.
File OpenRootFolder(const std::wstring& root);
// Opens the folder `name` in `folder` as itself (a link is opened, never followed) and holds it:
// it shares everything but deleting, so that while the handle is open nobody can rename or delete
// it, nor so put a link in its place. Other runs may hold it at the same time.
File HoldFolderIn(File& folder, const std::wstring& name);
// Opens or makes the file `name` in `folder` to append to it (see AppendToFile): a link holding
// the name is opened as itself, never followed; a folder is refused. Others may read it and
// append to it while it is open; nobody may delete or rename it.
File OpenToAppendIn(File& folder, const std::wstring& name);
// Deletes the file through its handle (opened with OpenFileToDelete, CreateNewHeld or
// CreateNewOwn); `path` is the name it was opened by. The name goes when the handle is closed.
bool DeleteOpenFile(File& file, const std::wstring& path);
bool DeleteFileAt(const std::wstring& path);
// Deletes the file at `path` only if it is the file `id` names; a name that now leads to another
// file, or to a link, is left alone. False when nothing was deleted.
bool DeleteFileIfSame(const std::wstring& path, const FileId& id);

enum class PathState {
    Free,       // nothing of that name exists
    Taken,      // a file or directory of that name exists
    Unexamined, // the name cannot be examined (access denied, unreachable share, link loop)
};
PathState ExaminePath(const std::wstring& path);
// True only when `path` is positively seen to be an existing directory.
bool IsDirectory(const std::wstring& path);
// The root of the current drive ("\" on Windows), the naming rule's fallback folder.
std::wstring CurrentDriveRoot();
// The names (without the folder) of the files in `folder` that begin with `prefix` and end with
// `suffix`, ASCII case ignored; at most `limit` of them. False when the folder cannot be read.
bool ListFiles(const std::wstring& folder, const std::wstring& prefix, const std::wstring& suffix,
               std::size_t limit, std::vector<std::wstring>& names);

// GetFullPathNameW into `capacity` characters, terminator included. False when the path
// cannot be resolved or its full form does not fit.
bool FullPathName(const std::wstring& path, std::size_t capacity, std::wstring& fullPath);

// The temporary directory, normally ending in a separator. False when it cannot be had or
// would not fit 1024 characters with its terminator.
bool TempDirectory(std::wstring& directory);
} // namespace platform
