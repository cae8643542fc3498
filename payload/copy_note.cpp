#include "payload/copy_note.h"

#include "platform/system.h"
#include "runlog/run_log.h"

#include <string_view>
#include <vector>

namespace payload {
namespace {

constexpr wchar_t kNoteSuffix[] = L".corvath-sp";
constexpr wchar_t kCopyPrefix[] = L"MSP";
constexpr char kNoteFirstLine[] = "corvath-sp copy note";
// More notes than any folder holds unless something is wrong; the rest wait for the next run.
constexpr std::size_t kNotesPerRun = 64;
constexpr std::size_t kNoteCapacity = 256;
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;

constexpr std::uint64_t kLow32 = 0xFFFFFFFF;

// The value after "<key>=" on a line of its own; false when there is none, or it is not a number
// of at most 20 digits that fits 64 bits.
bool NotedNumber(std::string_view text, std::string_view key, std::uint64_t& value) {
    const std::string wanted = "\r\n" + std::string(key) + "=";
    const std::size_t at = text.find(wanted);
    if (at == std::string_view::npos) {
        return false;
    }
    constexpr std::uint64_t kMost = ~std::uint64_t{0};
    constexpr std::size_t kMostDigits = 20; // 2^64-1
    std::size_t i = at + wanted.size();
    value = 0;
    std::size_t digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (digits == kMostDigits || value > (kMost - digit) / 10) {
            return false;
        }
        value = value * 10 + digit;
    }
    return digits > 0 && text.substr(i, 2) == "\r\n";
}

bool ReadNote(platform::File& note, NotedCopy& noted) {
    std::vector<char> buffer(kNoteCapacity);
    std::size_t read = 0;
    if (!platform::ReadFromFile(note, buffer.data(), buffer.size(), read) || read == 0 ||
        read == buffer.size()) {
        return false;
    }
    return ReadCopyNote(std::string_view(buffer.data(), read), noted);
}

// "MSP" and digits: the only names a note may speak for.
bool IsCopyName(std::wstring_view name) {
    if (name.size() <= 3 || name.size() > 13 || name.substr(0, 3) != kCopyPrefix) {
        return false;
    }
    for (wchar_t c : name.substr(3)) {
        if (c < L'0' || c > L'9') {
            return false;
        }
    }
    return true;
}

void DeleteNote(platform::File& note, const std::wstring& path) {
    if (platform::DeleteOpenFile(note, path)) {
        runlog::Log(L"removed " + runlog::Quoted(path) + L", the note of a run that ended");
    } else {
        runlog::LogFailure(L"removing the note " + runlog::Quoted(path), platform::LastError());
    }
}

void RemoveNoted(const std::wstring& folder, const std::wstring& noteName) {
    const std::wstring copyName =
        noteName.substr(0, noteName.size() - (std::size(kNoteSuffix) - 1));
    if (!IsCopyName(copyName)) {
        return;
    }
    const std::wstring notePath = folder + noteName;
    // Its run holds the note for as long as it lives: a note we cannot have is a live run's.
    platform::File note = platform::OpenFileToDelete(notePath);
    NotedCopy noted;
    if (!note.IsOpen() || platform::IsLink(note) || !ReadNote(note, noted)) {
        return;
    }
    const std::wstring copyPath = folder + copyName;
    platform::File copy = platform::OpenFileToDelete(copyPath);
    if (!copy.IsOpen()) {
        // Gone already; held by someone (left alone until the next run); or beyond reach.
        const std::uint32_t error = platform::LastError();
        if (error == kErrorFileNotFound || error == kErrorPathNotFound) {
            DeleteNote(note, notePath);
        }
        return;
    }
    platform::FileId id;
    std::uint64_t size = 0;
    if (platform::IsLink(copy) || !platform::IdentifyFile(copy, id) || !IsNotedCopy(noted, id) ||
        !platform::FileSize(copy, size) || size != noted.size) {
        runlog::Log(L"left alone: " + runlog::Quoted(copyPath) +
                    L", not the copy its note names (another file has the name now)");
        DeleteNote(note, notePath);
        return;
    }
    if (platform::DeleteOpenFile(copy, copyPath)) {
        runlog::Log(L"removed " + runlog::Quoted(copyPath) + L", the copy of the patch (" +
                    std::to_wstring(size) + L" bytes) that a run that ended left behind");
        copy.Close();
        DeleteNote(note, notePath);
    } else {
        runlog::LogFailure(L"removing the copy a run that ended left, " + runlog::Quoted(copyPath),
                           platform::LastError());
    }
}

} // namespace

std::string CopyNoteText(const platform::FileId& id, std::uint64_t size) {
    return std::string(kNoteFirstLine) + "\r\nvolume=" + std::to_string(id.volume) +
           "\r\nindex=" + std::to_string(id.index) +
           "\r\nindex-high=" + std::to_string(id.indexHigh) + "\r\nsize=" + std::to_string(size) +
           "\r\n";
}

bool ReadCopyNote(std::string_view text, NotedCopy& noted) {
    noted = NotedCopy{};
    if (!text.starts_with(std::string(kNoteFirstLine) + "\r\n") ||
        !NotedNumber(text, "volume", noted.id.volume) ||
        !NotedNumber(text, "index", noted.id.index) || !NotedNumber(text, "size", noted.size)) {
        return false;
    }
    // An earlier pack knew only 64-bit file indexes, and wrote no high half.
    noted.byEarlierPack = text.find("\r\nindex-high=") == std::string_view::npos;
    return noted.byEarlierPack || NotedNumber(text, "index-high", noted.id.indexHigh);
}

bool IsNotedCopy(const NotedCopy& noted, const platform::FileId& found) {
    if (!noted.byEarlierPack) {
        return noted.id == found;
    }
    // FILE_ID_INFO's serial is the volume's 64-bit one; GetFileInformationByHandle gives its low
    // 32 bits. An id past 64 bits is not one the earlier pack could have noted.
    return (noted.id.volume & kLow32) == (found.volume & kLow32) && noted.id.index == found.index &&
           found.indexHigh == 0;
}

std::wstring CopyNotePath(const std::wstring& copyPath) {
    return copyPath + kNoteSuffix;
}

bool CopyNote::Write(const std::wstring& copyPath, const platform::FileId& copy,
                     std::uint64_t size) {
    Remove();
    const std::wstring path = CopyNotePath(copyPath);
    platform::OpenResult result;
    file_ = platform::OpenFileForWriting(path, platform::OpenMode::CreateNewHeld, result);
    if (!file_.IsOpen()) {
        runlog::LogFailure(L"noting the copy in " + runlog::Quoted(path), platform::LastError());
        return false;
    }
    path_ = path;
    copy_ = copy;
    size_ = size;
    const std::string text = CopyNoteText(copy, size);
    if (!platform::WriteToFile(file_, text.data(), text.size())) {
        runlog::LogFailure(L"noting the copy in " + runlog::Quoted(path), platform::LastError());
        Remove();
        return false;
    }
    return true;
}

void CopyNote::Remove() {
    if (!file_.IsOpen()) {
        return;
    }
    const std::uint32_t error = platform::LastError();
    if (!platform::DeleteOpenFile(file_, path_)) {
        runlog::LogFailure(L"removing the note " + runlog::Quoted(path_), platform::LastError());
    }
    file_.Close();
    path_.clear();
    platform::SetLastError(error);
}

void CopyNote::Keep(std::uint64_t sizeNow) {
    if (file_.IsOpen() && sizeNow != size_) {
        // Written over from its start and cut after, never emptied first: a write that fails
        // leaves the note as it was.
        const std::string text = CopyNoteText(copy_, sizeNow);
        if (!platform::SeekTo(file_, 0) ||
            !platform::WriteToFile(file_, text.data(), text.size()) ||
            !platform::TruncateFile(file_, text.size())) {
            runlog::LogFailure(L"noting the size the copy has now in " + runlog::Quoted(path_),
                               platform::LastError());
        }
    }
    Keep();
}

void CopyNote::Keep() {
    if (file_.IsOpen()) {
        runlog::Log(L"the note " + runlog::Quoted(path_) +
                    L" stays, so that the next run removes the copy");
    }
    file_.Close();
    path_.clear();
}

void RemoveLeftCopies(const std::wstring& folder) {
    std::wstring prefix = folder;
    if (!prefix.empty() && prefix.back() != L'\\' && prefix.back() != L'/') {
        prefix.push_back(platform::kPathSeparator);
    }
    std::vector<std::wstring> notes;
    platform::ListFiles(prefix, kCopyPrefix, kNoteSuffix, kNotesPerRun, notes);
    for (const std::wstring& note : notes) {
        RemoveNoted(prefix, note);
    }
}

} // namespace payload
