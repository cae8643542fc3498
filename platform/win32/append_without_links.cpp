#include "platform/win32/append_without_links.h"

#include <windows.h>

#include <algorithm>

namespace platform::win32 {
namespace {

constexpr DWORD kErrorStoppedOnLink = 681; // ERROR_STOPPED_ON_SYMLINK
// A name freed between a refused creation and the opening after it is tried again, a few times.
constexpr int kOpenAttempts = 3;
// Appending without FILE_WRITE_DATA: Windows puts every write at the end. Read access is what
// lets AppendToFile lock.
constexpr DWORD kAppendAccess = GENERIC_READ | FILE_APPEND_DATA | SYNCHRONIZE;
constexpr DWORD kAppendSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

HANDLE AsHandle(const File& file) {
    return reinterpret_cast<HANDLE>(file.Handle());
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// Where the path's first folder below its root starts.
std::size_t RootLength(const std::wstring& path) {
    // The end of `parts` components from `from`, each with the separator after it.
    auto after = [&path](std::size_t from, int parts) {
        std::size_t at = from;
        for (int part = 0; part < parts && at < path.size(); ++part) {
            while (at < path.size() && !IsSeparator(path[at])) {
                ++at;
            }
            at += at < path.size() ? 1 : 0;
        }
        return at;
    };
    if (path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\")) {
        const bool unc = path.size() >= 8 && (path[4] == L'U' || path[4] == L'u') &&
                         (path[5] == L'N' || path[5] == L'n') &&
                         (path[6] == L'C' || path[6] == L'c') && IsSeparator(path[7]);
        return unc ? after(8, 2) : after(4, 1);
    }
    if (path.starts_with(L"\\\\")) {
        return after(2, 2);
    }
    return path.size() >= 3 && path[1] == L':' && IsSeparator(path[2]) ? 3 : 0;
}

// A reparse point, or a handle that cannot say whether it is one.
bool IsReparsePoint(const File& file) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    return !GetFileInformationByHandleEx(AsHandle(file), FileAttributeTagInfo, &tag, sizeof tag) ||
           (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A folder opened as itself, a link not followed, and held so that it can be neither renamed nor
// deleted, nor so be replaced by a link: no delete sharing, and traverse access, since sharing is
// weighed only between opens that touch the data or delete. A folder that refuses us that is
// opened for its attributes alone: checked, not held.
File OpenFolder(const std::wstring& folder) {
    constexpr DWORD kFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
    HANDLE handle = CreateFileW(folder.c_str(), FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                                kAppendSharing, nullptr, OPEN_EXISTING, kFlags, nullptr);
    if (handle == INVALID_HANDLE_VALUE &&
        (GetLastError() == ERROR_ACCESS_DENIED || GetLastError() == ERROR_SHARING_VIOLATION)) {
        handle = CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, kFlags, nullptr);
    }
    return handle == INVALID_HANDLE_VALUE ? File() : File(reinterpret_cast<std::intptr_t>(handle));
}

// Made new with delete access, so that a file made for nothing can be deleted again through its
// handle; an existing one without it, since appending asks no more (a shared log may grant no
// more). Neither follows a link that holds the name.
File OpenOrMake(const std::wstring& path, bool& made) {
    constexpr DWORD kFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 1; attempt <= kOpenAttempts; ++attempt) {
        handle = CreateFileW(path.c_str(), kAppendAccess | DELETE, kAppendSharing, nullptr,
                             CREATE_NEW, kFlags, nullptr);
        made = handle != INVALID_HANDLE_VALUE;
        if (made ||
            (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)) {
            break;
        }
        handle = CreateFileW(path.c_str(), kAppendAccess, kAppendSharing, nullptr, OPEN_EXISTING,
                             kFlags, nullptr);
        if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_NOT_FOUND) {
            break;
        }
    }
    return handle == INVALID_HANDLE_VALUE ? File() : File(reinterpret_cast<std::intptr_t>(handle));
}

} // namespace

std::vector<std::wstring> FoldersOf(const std::wstring& path) {
    std::vector<std::wstring> folders;
    for (std::size_t at = RootLength(path); at < path.size(); ++at) {
        if (IsSeparator(path[at]) && at > 0 && !IsSeparator(path[at - 1])) {
            folders.push_back(path.substr(0, at));
        }
    }
    return folders;
}

File OpenToAppendWithoutLinks(const std::wstring& path, OpenResult& result) {
    result = OpenResult::Failed;
    // The folders first, from the root down, each checked and held: the file is then opened
    // through folders that are what they were seen to be. Checking names and then opening would
    // leave the moment between to whoever may write in one of them.
    std::vector<File> folders;
    for (const std::wstring& folder : FoldersOf(path)) {
        File held = OpenFolder(folder);
        if (!held.IsOpen()) {
            // A missing folder is what it is when the file is opened through it.
            if (GetLastError() == ERROR_FILE_NOT_FOUND) {
                SetLastError(ERROR_PATH_NOT_FOUND);
            }
            return {};
        }
        if (IsReparsePoint(held)) {
            SetLastError(kErrorStoppedOnLink);
            return {};
        }
        folders.push_back(std::move(held));
    }
    bool made = false;
    File file = OpenOrMake(path, made);
    if (!file.IsOpen()) {
        return {};
    }
    // The file itself, and the folders again: an empty folder could have become a junction in
    // place before the file was made in it. Once the file is open, none of its folders can be
    // renamed or deleted.
    BY_HANDLE_FILE_INFORMATION info{};
    const bool linked = !GetFileInformationByHandle(AsHandle(file), &info) ||
                        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
                        info.nNumberOfLinks > 1 ||
                        std::any_of(folders.begin(), folders.end(), IsReparsePoint);
    if (linked) {
        if (made) {
            DeleteOpenFile(file, path);
        }
        SetLastError(kErrorStoppedOnLink);
        return {};
    }
    result = OpenResult::Opened;
    return file;
}

} // namespace platform::win32
