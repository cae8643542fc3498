#include "install/host_guard.h"

#include "messages/format.h"
#include "messages/message_ids.h"
#include "payload/resource_store.h"
#include "platform/process.h"
#include "platform/ui.h"

#include <vector>

namespace install {
namespace {

constexpr wchar_t kProgramList[] = L"Corvath\n";
constexpr std::uint32_t kRetryCancelBox = 0x50015; // Retry/Cancel, error icon, foreground, topmost
constexpr int kIdRetry = 4;
constexpr std::size_t kFormatSlack = 512;

} // namespace

bool IsProcessRunning(const std::wstring& imageName) {
    std::vector<platform::ProcessEntry> processes;
    if (!platform::ProcessSnapshot(processes)) {
        return false;
    }
    for (const platform::ProcessEntry& process : processes) {
        if (process.processId != 0 && platform::EqualIgnoringCase(process.exeFile, imageName)) {
            return true;
        }
    }
    return false;
}

bool WaitForHostProgramClosed() {
    std::wstring caption;
    std::wstring pattern;
    payload::LoadResString(messages::kCaptionError, caption, messages::kCatalogueCapacity);
    payload::LoadResString(messages::kProgramsRunning, pattern, messages::kCatalogueCapacity);
    const std::wstring text = messages::FormatTemplate(
        pattern,
        {messages::FormatArgument::Text(kProgramList), messages::FormatArgument::Text(L"")},
        pattern.size() + kFormatSlack);

    while (IsProcessRunning(kHostProgramImage)) {
        if (platform::ShowMessageBox(text, caption, kRetryCancelBox) != kIdRetry) {
            return false;
        }
    }
    return true;
}

} // namespace install
