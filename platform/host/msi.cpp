// Windows Installer's summary calls over real compound files, read with the reader the pack's
// build checks its patch with (msp/).
#include "platform/msi.h"
#include "platform/files.h"
#include "platform/system.h"

#include "msp/patch_summary.h"
#include "platform/host/simulation.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

namespace platform {
namespace {

constexpr std::uint32_t kErrorOpenFailed = 110;
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorUnknownProperty = 1608;
constexpr unsigned kPropertyTemplate = 7;
constexpr unsigned kPropertyRevision = 9;

std::map<MsiHandle, corvath::msp::PatchSummary>& OpenSummaries() {
    static std::map<MsiHandle, corvath::msp::PatchSummary> summaries;
    return summaries;
}

MsiHandle g_nextHandle = 1;

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        out.push_back(static_cast<char>(c < 0x80 ? c : '?'));
    }
    return out;
}

} // namespace

std::uint32_t MsiOpenSummary(const std::wstring& fullPath, MsiHandle& handle) {
    auto summary = corvath::msp::read_patch_summary(Narrow(fullPath));
    if (!summary.ok()) {
        handle = 0;
        return kErrorOpenFailed;
    }
    handle = g_nextHandle++;
    OpenSummaries().emplace(handle, std::move(summary.value));
    return kErrorSuccess;
}

std::uint32_t MsiSummaryText(MsiHandle handle, unsigned property, wchar_t* buffer,
                             std::uint32_t& length) {
    host::TheSimulation().summaryReads.push_back(length);
    const auto found = OpenSummaries().find(handle);
    if (found == OpenSummaries().end()) {
        return kErrorInvalidHandle;
    }
    const std::optional<std::string>* value = nullptr;
    if (property == kPropertyTemplate) {
        value = &found->second.targets;
    } else if (property == kPropertyRevision) {
        value = &found->second.revision;
    } else {
        return kErrorUnknownProperty;
    }
    if (!value->has_value()) {
        return kErrorSuccess; // an empty property: the buffer is left alone
    }
    const std::string& text = **value;
    if (length <= text.size()) {
        // As msi.dll: as much as fits, terminated, and the length the caller needs.
        if (length > 0) {
            const std::size_t fits = length - 1;
            for (std::size_t i = 0; i < fits; ++i) {
                buffer[i] = static_cast<unsigned char>(text[i]);
            }
            buffer[fits] = L'\0';
        }
        length = static_cast<std::uint32_t>(text.size());
        return kErrorMoreData;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        buffer[i] = static_cast<unsigned char>(text[i]);
    }
    buffer[text.size()] = L'\0';
    length = static_cast<std::uint32_t>(text.size());
    return kErrorSuccess;
}

void MsiClose(MsiHandle handle) {
    OpenSummaries().erase(handle);
}

bool FullPathName(const std::wstring& path, std::size_t capacity, std::wstring& fullPath) {
    if (path.empty()) {
        return false;
    }
    // As GetFullPathNameW: against the current directory, with "." and ".." worked out.
    std::error_code error;
    std::filesystem::path full(Narrow(path));
    if (full.is_relative()) {
        full = std::filesystem::current_path(error) / full;
        if (error) {
            return false;
        }
    }
    const std::string text = full.lexically_normal().string();
    if (text.size() >= capacity) {
        SetLastError(206); // ERROR_FILENAME_EXCED_RANGE
        return false;
    }
    fullPath.assign(text.begin(), text.end());
    return true;
}

} // namespace platform
