#include "payload/patch_copy.h"

#include "payload/extract_patch.h"
#include "payload/temp_name.h"
#include "platform/system.h"
#include "runlog/run_log.h"

namespace payload {
namespace {

constexpr std::size_t kFullPathCapacity = 260;

} // namespace

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
    // Its bytes were checked as they were written, and could not change since: while it was
    // written, nobody else could open it; once closed, its security lets nobody below an
    // administrator change it, and an administrator could change this run itself. Its name,
    // though, was free to change hands between the write and the hold (a folder's owner may
    // rename what is in it): the held file must be the one we wrote.
    platform::FileId held;
    if (!platform::IdentifyFile(hold_, held) || !(held == written_)) {
        runlog::LogFailure(L"checking the copy " + runlog::Quoted(path_) +
                               L" (another file has its name now)",
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
