#include "payload/patch_summary.h"

#include "payload/patch_copy.h"
#include "platform/system.h"
#include "runlog/run_log.h"

#include <algorithm>
#include <vector>

namespace payload {
namespace {

constexpr std::size_t kFullPathCapacity = 260;
constexpr std::uint32_t kFirstAttempt = 2048;
constexpr unsigned kPropertyTemplate = 7; // the target product codes of a patch

} // namespace

platform::MsiHandle OpenPatchSummary(const std::wstring& patchPath) {
    std::wstring fullPath;
    // A path whose full form does not fit is never opened in a shortened form.
    if (!platform::FullPathName(patchPath, kFullPathCapacity, fullPath)) {
        return 0;
    }
    platform::MsiHandle handle = 0;
    const std::uint32_t result = platform::MsiOpenSummary(fullPath, handle);
    if (result != platform::kErrorSuccess) {
        platform::SetLastError(result);
        return 0;
    }
    return handle;
}

namespace {

// A text property: 2048 characters at the first attempt, exactly the length reported plus one
// at the second; there is no third.
bool ReadSummaryText(const std::wstring& patchPath, unsigned property, std::wstring& text) {
    const platform::MsiHandleOwner summary(OpenPatchSummary(patchPath));
    if (summary.Get() == 0) {
        return false;
    }
    std::vector<wchar_t> buffer(kFirstAttempt, L'\0');
    std::uint32_t length = kFirstAttempt;
    std::uint32_t result = platform::MsiSummaryText(summary.Get(), property, buffer.data(), length);
    if (result == platform::kErrorMoreData) {
        length += 1;
        buffer.assign(length, L'\0');
        result = platform::MsiSummaryText(summary.Get(), property, buffer.data(), length);
    }
    if (result != platform::kErrorSuccess) {
        platform::SetLastError(result);
        return false;
    }
    const auto end = std::find(buffer.begin(), buffer.end(), L'\0');
    text.assign(buffer.begin(), end);
    return true;
}

} // namespace

bool ReadPatchTargets(const std::wstring& patchPath, std::wstring& targets) {
    return ReadSummaryText(patchPath, kPropertyTemplate, targets);
}

bool ReadOwnPatchTargets(std::wstring& targets) {
    targets.clear();
    PatchCopy copy;
    const bool read = copy.Make() && ReadPatchTargets(copy.Path(), targets);
    if (!read && !copy.Path().empty()) {
        runlog::LogFailure(L"/i: reading the patch's target list", platform::LastError());
    }
    return read;
}

} // namespace payload
