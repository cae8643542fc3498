#include "payload/patch_summary.h"

#include "payload/patch_copy.h"
#include "platform/ui.h"

#include <algorithm>
#include <vector>

namespace payload {
namespace {

constexpr std::size_t kFullPathCapacity = 260;
constexpr std::uint32_t kFirstAttempt = 2048;
constexpr unsigned kPropertyTemplate = 7;          // the target product codes of a patch
constexpr std::uint32_t kListBoxType = 0x00050000; // OK, no icon, foreground, topmost

} // namespace

platform::MsiHandle OpenPatchSummary(const std::wstring& patchPath) {
    std::wstring fullPath;
    // A path whose full form does not fit is never opened in a shortened form.
    if (!platform::FullPathName(patchPath, kFullPathCapacity, fullPath)) {
        return 0;
    }
    platform::MsiHandle handle = 0;
    if (platform::MsiOpenSummary(fullPath, handle) != platform::kErrorSuccess) {
        return 0;
    }
    return handle;
}

bool ReadPatchTargets(const std::wstring& patchPath, std::wstring& targets) {
    const platform::MsiHandleOwner summary(OpenPatchSummary(patchPath));
    if (summary.Get() == 0) {
        return false;
    }
    std::vector<wchar_t> buffer(kFirstAttempt, L'\0');
    std::uint32_t length = kFirstAttempt;
    std::uint32_t result =
        platform::MsiSummaryText(summary.Get(), kPropertyTemplate, buffer.data(), length);
    if (result == platform::kErrorMoreData) {
        length += 1;
        buffer.assign(length, L'\0');
        result = platform::MsiSummaryText(summary.Get(), kPropertyTemplate, buffer.data(), length);
    }
    if (result != platform::kErrorSuccess) {
        return false;
    }
    const auto end = std::find(buffer.begin(), buffer.end(), L'\0');
    targets.assign(buffer.begin(), end);
    return true;
}

bool ShowPatchTargets() {
    std::wstring targets;
    bool read = false;
    {
        PatchCopy copy;
        read = copy.Make() && ReadPatchTargets(copy.Path(), targets);
    }
    platform::ShowMessageBox(targets, L"List of Products", kListBoxType);
    return read;
}

} // namespace payload
