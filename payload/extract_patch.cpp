#include "payload/extract_patch.h"

#include "payload/package_reader.h"
#include "payload/temp_name.h"
#include "platform/files.h"
#include "platform/system.h"

namespace payload {
namespace {

// Names that look free yet are taken when created (say, dangling links); a short run in a row,
// as for names that cannot be examined, and the naming gives up.
constexpr int kCreateAttempts = 16;

// The temporary file is created exclusively: a name taken by someone else between our choice
// and our open is skipped for the next number instead of being truncated.
platform::File CreateTempFile(const std::wstring& directory, std::wstring& path) {
    for (int attempt = 1; attempt <= kCreateAttempts; ++attempt) {
        platform::OpenResult result;
        platform::File file =
            platform::OpenFileForWriting(path, platform::OpenMode::CreateNew, result);
        if (result != platform::OpenResult::AlreadyExists) {
            return file;
        }
        if (!NextTempName(directory, path)) {
            return {};
        }
    }
    return {};
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
    platform::OpenResult opened = platform::OpenResult::AlreadyExists;
    platform::File file =
        chooseName ? CreateTempFile(directory, path)
                   : platform::OpenFileForWriting(path, platform::OpenMode::CreateNew, opened);
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
    bool complete = identified || written == nullptr;
    const std::byte* block = nullptr;
    std::size_t length = 0;
    while (complete) {
        complete = package.Next(block, length);
        if (!complete || length == 0) {
            break;
        }
        complete = platform::WriteToFile(file, block, length);
    }
    if (!complete) {
        const std::uint32_t error = platform::LastError();
        file.Close();
        platform::DeleteFileAt(path);
        if (note != nullptr) {
            note->Remove();
        }
        platform::SetLastError(error);
        return false;
    }
    file.Close();
    return true;
}

} // namespace payload
