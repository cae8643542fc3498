#include "platform/files.h"

#include <windows.h>

#include <vector>

namespace platform {

const wchar_t kPathSeparator = L'\\';

namespace {

HANDLE AsHandle(std::intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
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
    case OpenMode::CreateOrTruncate:
        disposition = CREATE_ALWAYS;
        break;
    case OpenMode::OpenOrCreate:
        access = GENERIC_READ | GENERIC_WRITE;
        share = FILE_SHARE_READ;
        disposition = OPEN_ALWAYS;
        break;
    }
    HANDLE handle = CreateFileW(path.c_str(), access, share, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
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

bool SeekToEnd(File& file) {
    return SetFilePointer(AsHandle(file.Handle()), 0, nullptr, FILE_END) !=
           INVALID_SET_FILE_POINTER;
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

bool DeleteFileAt(const std::wstring& path) {
    return DeleteFileW(path.c_str()) != 0;
}

bool PathExists(const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    const DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
           error != ERROR_INVALID_NAME;
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

bool EnvironmentVariable(const std::wstring& name, std::wstring& value) {
    const DWORD needed = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (needed == 0) {
        return false;
    }
    std::vector<wchar_t> buffer(needed);
    const DWORD length = GetEnvironmentVariableW(name.c_str(), buffer.data(), needed);
    if (length == 0 || length >= needed) {
        return false;
    }
    value.assign(buffer.data(), length);
    return true;
}

std::uint32_t LastError() {
    return GetLastError();
}

void SetLastError(std::uint32_t code) {
    ::SetLastError(code);
}

} // namespace platform
