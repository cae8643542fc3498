#include "payload/patch_copy.h"

#include "payload/extract_patch.h"
#include "payload/package_reader.h"
#include "payload/resource_store.h"
#include "payload/temp_name.h"
#include "platform/msi.h"
#include "platform/system.h"
#include "runlog/run_log.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace payload {
namespace {

constexpr std::size_t kFullPathCapacity = 260;
constexpr std::size_t kCompareBlock = 1024 * 1024;
constexpr std::uint32_t kErrorFileCorrupt = 1392;

} // namespace

bool IsEmbeddedPackage(platform::File& file) {
    // Against the package as extraction read it: a large one from the pack's own file, so that
    // its pages in the image are not faulted in for the check either.
    PackageReader package;
    if (!package.Open()) {
        return false;
    }
    std::vector<std::byte> held(kCompareBlock);
    const std::byte* block = nullptr;
    std::size_t length = 0;
    while (package.Next(block, length)) {
        if (length == 0) {
            std::size_t read = 0; // the copy must end where the package does
            return platform::ReadFromFile(file, held.data(), 1, read) && read == 0;
        }
        for (std::size_t at = 0; at < length; at += held.size()) {
            const std::size_t part = std::min(held.size(), length - at);
            if (!ReadFully(file, held.data(), part) ||
                std::memcmp(held.data(), block + at, part) != 0) {
                return false;
            }
        }
    }
    return false;
}

bool PatchCopy::Make() {
    Remove();
    std::wstring temp;
    if (platform::TempDirectory(temp)) {
        RemoveLeftCopies(TempNameDirectory(temp));
    }
    if (!ExtractPatch(path_, &written_, &note_)) {
        runlog::LogFailure(L"extracting the patch to a new temporary file " + runlog::Quoted(path_),
                           platform::LastError());
        path_.clear();
        return false;
    }
    made_ = true;
    // Windows Installer resolves a relative PATCH= against its own folder, not ours.
    std::wstring fullPath;
    if (!platform::FullPathName(path_, kFullPathCapacity, fullPath)) {
        runlog::LogFailure(L"making the full path of " + runlog::Quoted(path_),
                           platform::LastError());
        Remove();
        return false;
    }
    path_ = std::move(fullPath);

    hold_ = platform::OpenFileHeldForReading(path_);
    if (!hold_.IsOpen()) {
        runlog::LogFailure(L"holding the copy " + runlog::Quoted(path_), platform::LastError());
        Remove();
        return false;
    }
    // The name was free to change hands between our write and our hold: the held file must be
    // the one we wrote and hold exactly the package.
    platform::FileId held;
    if (!platform::IdentifyFile(hold_, held) || !(held == written_) || !IsEmbeddedPackage(hold_)) {
        runlog::LogFailure(L"checking the copy " + runlog::Quoted(path_) +
                               L" against the embedded package (it was changed or replaced)",
                           kErrorFileCorrupt);
        Remove();
        platform::SetLastError(kErrorFileCorrupt);
        return false;
    }
    runlog::Log(L"the copy " + runlog::Quoted(path_) +
                L" is held and is the embedded package, byte for byte");
    return true;
}

void PatchCopy::Remove() {
    if (!made_) {
        return;
    }
    const std::uint32_t error = platform::LastError();
    hold_.Close();
    if (platform::DeleteFileIfSame(path_, written_)) {
        runlog::Log(L"the copy " + runlog::Quoted(path_) + L" is deleted");
        note_.Remove();
    } else {
        runlog::LogFailure(L"deleting the copy " + runlog::Quoted(path_) +
                               L" (a name that now leads to another file is left alone)",
                           platform::LastError());
        note_.Keep();
    }
    made_ = false;
    platform::SetLastError(error);
}

} // namespace payload
