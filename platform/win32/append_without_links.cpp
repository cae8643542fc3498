#include "platform/win32/append_without_links.h"

#include <windows.h>

#include <algorithm>

namespace platform::win32 {
namespace {

constexpr DWORD kErrorStoppedOnLink = 681; // ERROR_STOPPED_ON_SYMLINK
// A name freed between a refused creation and the opening after it is tried again, and so is a
// file another run holds with delete access for the moment it checks the file it made: for at
// most half a second in all.
constexpr int kOpenAttempts = 50;
constexpr DWORD kOpenPauseMilliseconds = 10;
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

File Open(const std::wstring& path, DWORD access, DWORD disposition) {
    // Never through a link that holds the name.
    HANDLE handle = CreateFileW(path.c_str(), access, kAppendSharing, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    return handle == INVALID_HANDLE_VALUE ? File() : File(reinterpret_cast<std::intptr_t>(handle));
}

// The file a reparse point or one with other names (a hard link may be any file), or one of the
// held folders a reparse point now: an empty folder can become a junction in place.
bool LeadsElsewhere(const File& file, const std::vector<File>& folders) {
    BY_HANDLE_FILE_INFORMATION info{};
    return !GetFileInformationByHandle(AsHandle(file), &info) ||
           (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || info.nNumberOfLinks > 1 ||
           std::any_of(folders.begin(), folders.end(), IsReparsePoint);
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
    for (int attempt = 1; attempt <= kOpenAttempts; ++attempt) {
        // A file made new is made with delete access, so that one made through a link is deleted
        // again through its handle; and then let go of, since a handle with delete access would
        // keep every other run from opening the log it shares.
        FileId made;
        bool compare = false;
        File fresh = Open(path, kAppendAccess | DELETE, CREATE_NEW);
        if (fresh.IsOpen()) {
            if (LeadsElsewhere(fresh, folders)) {
                DeleteOpenFile(fresh, path);
                SetLastError(kErrorStoppedOnLink);
                return {};
            }
            compare = IdentifyFile(fresh, made);
            fresh.Close();
        } else if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
            return {};
        }
        // Appending asks no more than this, and a shared log may grant no more.
        File file = Open(path, kAppendAccess, OPEN_EXISTING);
        if (!file.IsOpen()) {
            if (GetLastError() == ERROR_FILE_NOT_FOUND) {
                continue; // deleted in between: the name is free again
            }
            if (GetLastError() == ERROR_SHARING_VIOLATION && attempt < kOpenAttempts) {
                Sleep(kOpenPauseMilliseconds);
                continue;
            }
            return {};
        }
        // Once the file is open none of its folders can be renamed or deleted: the folders' hold
        // can end with this function.
        FileId opened;
        if (LeadsElsewhere(file, folders) ||
            (compare && (!IdentifyFile(file, opened) || !(opened == made)))) {
            SetLastError(kErrorStoppedOnLink);
            return {};
        }
        result = OpenResult::Opened;
        return file;
    }
    return {};
}

} // namespace platform::win32
