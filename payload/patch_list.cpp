#include "payload/patch_list.h"

#include "payload/patch_copy.h"
#include "payload/patch_summary.h"
#include "payload/resource_store.h"
#include "platform/files.h"
#include "platform/system.h"
#include "runlog/run_log.h"

namespace payload {
namespace {

constexpr char kSeparator[] = {'*', '*', '*', '*', '*', '\r', '\n'};
constexpr char kRecordEnd[] = {'\r', '\n'};
constexpr unsigned kFirstRecordId = 206;
constexpr std::size_t kKeptCharacters = 4;

void ChooseName(std::wstring& name) {
    name = L"patchlist.txt";
    PatchCopy copy;
    std::wstring targets;
    if (copy.Make() && ReadPatchTargets(copy.Path(), targets)) {
        name = PatchListNameFor(targets);
    }
}

enum class RecordOutcome { Written, Missing, Failed };

RecordOutcome AppendRecord(platform::File& file, unsigned id) {
    const platform::ResourceRef record = FindResourceEntry(L"TXT", L"#" + std::to_wstring(id));
    if (!record) {
        return RecordOutcome::Missing;
    }
    const std::uint32_t size = ResourceSize(record);
    const std::byte* bytes = ResourceBytes(record);
    if (size == 0 || bytes == nullptr) {
        return RecordOutcome::Failed;
    }
    std::uint64_t start = 0;
    if (!platform::FilePosition(file, start)) {
        return RecordOutcome::Failed;
    }
    if (platform::WriteToFile(file, kSeparator, sizeof kSeparator) &&
        platform::WriteToFile(file, bytes, size) &&
        platform::WriteToFile(file, kRecordEnd, sizeof kRecordEnd)) {
        return RecordOutcome::Written;
    }
    const std::uint32_t error = platform::LastError();
    platform::TruncateFile(file, start);
    platform::SetLastError(error);
    return RecordOutcome::Failed;
}

} // namespace

std::wstring PatchListNameFor(const std::wstring& targets) {
    std::wstring rest = targets;
    if (const auto colon = rest.find(L':'); colon != std::wstring::npos) {
        rest = rest.substr(colon + 1);
    }
    std::wstring kept;
    if (const auto hyphen = rest.find(L'-'); hyphen != std::wstring::npos) {
        kept = rest.substr(hyphen + 1, kKeptCharacters);
    } else {
        kept = rest.substr(0, kKeptCharacters);
    }
    return L"patchlist" + kept + L".txt";
}

PatchListOutcome AppendPatchList(std::wstring& name) {
    PatchListOutcome outcome;
    if (name.empty()) {
        ChooseName(name);
    }
    platform::OpenResult opened;
    platform::File file =
        platform::OpenFileForWriting(name, platform::OpenMode::OpenOrCreate, opened);
    if (!file.IsOpen()) {
        runlog::LogFailure(L"/p: opening the patch list " + runlog::Quoted(name),
                           platform::LastError());
        outcome.message = messages::kNoPatchList;
        return outcome;
    }
    outcome.opened = true;
    platform::SeekToEnd(file);
    for (unsigned id = kFirstRecordId;; ++id) {
        switch (AppendRecord(file, id)) {
        case RecordOutcome::Written:
            continue;
        case RecordOutcome::Missing:
            if (id == kFirstRecordId) {
                runlog::Log(L"/p: the pack carries no patch-list record (206)");
                outcome.message = messages::kNoPatchList;
            } else {
                outcome.complete = true;
            }
            return outcome;
        case RecordOutcome::Failed:
            outcome.error = platform::LastError();
            runlog::LogFailure(L"/p: adding record " + std::to_wstring(id) + L" to " +
                                   runlog::Quoted(name) + L" (the record is taken out again)",
                               outcome.error);
            outcome.message = messages::kInstallFailed;
            return outcome;
        }
    }
}

} // namespace payload
