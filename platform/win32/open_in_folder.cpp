// A path opened a folder at a time, each name relative to the handle of the folder before it
// (NtCreateFile with OBJECT_ATTRIBUTES.RootDirectory): a folder renamed or replaced by a link
// after it was opened changes nothing of what is opened in it.
#include "platform/files.h"

#include <windows.h>

#include <winternl.h>

namespace platform {
namespace {

HANDLE AsHandle(const File& file) {
    return reinterpret_cast<HANDLE>(file.Handle());
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// Where the path's first name below its root starts.
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

// NtCreateFile of the one name `name` in `folder`, never through a reparse point: the last name
// is opened as itself, and there is no other.
File OpenIn(File& folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
            ULONG disposition, ULONG options) {
    if (name.empty() || name.size() > 32767 || name.find_first_of(L"\\/") != std::wstring::npos) {
        ::SetLastError(ERROR_INVALID_NAME);
        return {};
    }
    UNICODE_STRING objectName;
    objectName.Buffer = const_cast<wchar_t*>(name.c_str());
    objectName.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    objectName.MaximumLength = objectName.Length;
    // Case-insensitive, as Win32 opens names.
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, AsHandle(folder),
                               nullptr);
    IO_STATUS_BLOCK status{};
    HANDLE handle = nullptr;
    const NTSTATUS result = NtCreateFile(
        &handle, access, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL, share, disposition,
        options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (result < 0) { // not NT_SUCCESS, which winternl.h does not always declare
        ::SetLastError(RtlNtStatusToDosError(result));
        return {};
    }
    return File(reinterpret_cast<std::intptr_t>(handle));
}

} // namespace

bool SplitFullPath(const std::wstring& path, std::wstring& root, std::vector<std::wstring>& names) {
    const std::size_t rootLength = RootLength(path);
    root = path.substr(0, rootLength);
    names.clear();
    std::size_t start = rootLength;
    for (std::size_t at = rootLength; at <= path.size(); ++at) {
        if (at == path.size() || IsSeparator(path[at])) {
            if (at > start) {
                names.push_back(path.substr(start, at - start));
            }
            start = at + 1;
        }
    }
    if (rootLength == 0 || names.empty() || IsSeparator(path.back())) {
        ::SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    return true;
}

File OpenRootFolder(const std::wstring& root) {
    HANDLE handle = CreateFileW(root.c_str(), FILE_TRAVERSE | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    return handle == INVALID_HANDLE_VALUE ? File() : File(reinterpret_cast<std::intptr_t>(handle));
}

File HoldFolderIn(File& folder, const std::wstring& name) {
    // Traverse access, since sharing is weighed only between opens that touch the data or
    // delete: a hold without it would keep nobody from renaming the folder. A name that is not a
    // folder, or is missing, is a path not found, as Win32 says of a path through it.
    File held = OpenIn(folder, name, FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN, FILE_DIRECTORY_FILE);
    if (!held.IsOpen() &&
        (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_DIRECTORY)) {
        ::SetLastError(ERROR_PATH_NOT_FOUND);
    }
    return held;
}

File OpenToAppendIn(File& folder, const std::wstring& name) {
    // Appending without FILE_WRITE_DATA: Windows puts every write at the end. Read access is what
    // lets AppendToFile lock. No delete access, which would keep other runs from sharing the log.
    return OpenIn(folder, name, GENERIC_READ | FILE_APPEND_DATA | SYNCHRONIZE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN_IF, FILE_NON_DIRECTORY_FILE);
}

bool ReadLinkFacts(File& file, LinkFacts& facts) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(AsHandle(file), &info)) {
        return false;
    }
    facts.reparsePoint = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    facts.names = info.nNumberOfLinks;
    return true;
}

} // namespace platform
