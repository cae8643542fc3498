#include "payload/extract_patch.h"

#include "payload/package_reader.h"
#include "payload/temp_name.h"
#include "platform/files.h"
#include "platform/system.h"
#include "runlog/run_log.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace payload {
namespace {

// Names that look free yet are taken when created (say, dangling links); a short run in a row,
// as for names that cannot be examined, and the naming gives up.
constexpr int kCreateAttempts = 16;

// Read back in pieces of at most this size: a larger buffer, new to the process, costs more to
// fault in than the reads it saves (at 16 MB, 30 ms more for 8 MiB pieces).
constexpr std::size_t kReadBackPiece = 1u << 20;

// The temporary file is created exclusively: a name taken by someone else between our choice
// and our open is skipped for the next number instead of being truncated.
platform::File CreateTempFile(const std::wstring& directory, std::wstring& path,
                              platform::OpenMode mode) {
    for (int attempt = 1; attempt <= kCreateAttempts; ++attempt) {
        platform::OpenResult result;
        platform::File file = platform::OpenFileForWriting(path, mode, result);
        if (result != platform::OpenResult::AlreadyExists) {
            return file;
        }
        if (!NextTempName(directory, path)) {
            return {};
        }
    }
    return {};
}

// Reads back the `length` bytes just written, before the file's position, and compares them with
// `block` while it is still in memory. Leaves the position where it was. False, with 1392
// (ERROR_FILE_CORRUPT) for bytes that differ, when the file does not hold what was written.
bool ReadBackAsWritten(platform::File& file, const std::byte* block, std::size_t length,
                       std::vector<std::byte>& piece) {
    std::uint64_t end = 0;
    if (!platform::FilePosition(file, end) || end < length ||
        !platform::SeekTo(file, end - length)) {
        return false;
    }
    piece.resize(std::min(length, kReadBackPiece));
    for (std::size_t at = 0; at < length; at += piece.size()) {
        const std::size_t part = std::min(piece.size(), length - at);
        if (!ReadFully(file, piece.data(), part)) {
            return false;
        }
        if (std::memcmp(piece.data(), block + at, part) != 0) {
            platform::SetLastError(kErrorFileCorrupt);
            return false;
        }
    }
    return true;
}

// After a write that failed: the file goes, and the note with it; a copy that stays keeps its note,
// so that the next run still removes it.
void RemovePartialFile(platform::File& file, const std::wstring& path, bool ownCopy,
                       CopyNote* note) {
    std::uint64_t sizeNow = 0;
    const bool sized = platform::FileSize(file, sizeNow);
    // The run's own copy is deleted through the handle that wrote it, before it is closed: by
    // name, once closed, its security may refuse this very account, and the name may lead to
    // another file by then.
    bool deleted = ownCopy && platform::DeleteOpenFile(file, path);
    const std::uint32_t error = platform::LastError();
    file.Close();
    if (!ownCopy) {
        deleted = platform::DeleteFileAt(path);
    } else if (!deleted) {
        runlog::LogFailure(L"deleting the copy " + runlog::Quoted(path) + L", written in part",
                           error);
    }
    if (note == nullptr) {
        return;
    }
    if (deleted) {
        note->Remove();
    } else if (sized) {
        note->Keep(sizeNow);
    } else {
        note->Keep();
    }
}

} // namespace

bool ExtractPatch(std::wstring& path, platform::FileId* written, CopyNote* note) {
    const bool chooseName = path.empty();
    std::wstring directory;
    if (chooseName) {
        if (!platform::TempDirectory(directory) || !NextTempName(directory, path)) {
            return false;
        }
    }

    PackageReader package;
    if (!package.Open()) {
        return false;
    }

    // A file made new is made with CREATE_NEW even where the user named it: only an existing
    // file needs to be emptied, and emptying one costs (under Wine, ext4 writes the whole file
    // out as it is closed).
    // The run's own copy is read back as it is written, and kept from everybody below an
    // administrator once it is closed (patch_copy.h says why that makes it the package).
    const bool ownCopy = written != nullptr;
    const platform::OpenMode mode =
        ownCopy ? platform::OpenMode::CreateNewOwn : platform::OpenMode::CreateNew;
    platform::OpenResult opened = platform::OpenResult::AlreadyExists;
    platform::File file = chooseName ? CreateTempFile(directory, path, mode)
                                     : platform::OpenFileForWriting(path, mode, opened);
    if (!chooseName && opened == platform::OpenResult::AlreadyExists) {
        file = platform::OpenFileForWriting(path, platform::OpenMode::CreateOrTruncate, opened);
    }
    if (!file.IsOpen()) {
        return false;
    }
    // Known before the name is let go of, so that the file can later be told from a stand-in;
    // and noted before it is written, so that a run killed while writing leaves nothing for ever.
    platform::FileId id;
    const bool identified = platform::IdentifyFile(file, id);
    if (identified && written != nullptr) {
        *written = id;
    }
    if (identified && note != nullptr) {
        note->Write(path, id, package.Size());
    }
    // A small package goes in one request straight from the resource view; a large one a block
    // at a time (package_reader.h).
    bool complete = identified || !ownCopy;
    const std::byte* block = nullptr;
    std::size_t length = 0;
    std::vector<std::byte> piece;
    while (complete) {
        complete = package.Next(block, length);
        if (!complete || length == 0) {
            break;
        }
        complete = platform::WriteToFile(file, block, length) &&
                   (!ownCopy || ReadBackAsWritten(file, block, length, piece));
    }
    // Nothing past the package: the copy was made new and written from its start.
    std::uint64_t size = 0;
    if (complete && ownCopy && (!platform::FileSize(file, size) || size != package.Size())) {
        platform::SetLastError(kErrorFileCorrupt);
        complete = false;
    }
    if (!complete) {
        const std::uint32_t error = platform::LastError();
        RemovePartialFile(file, path, ownCopy, note);
        platform::SetLastError(error);
        return false;
    }
    file.Close();
    return true;
}

} // namespace payload
