#include "install/host_guard.h"

#include "messages/format.h"
#include "messages/message_ids.h"
#include "messages/presenter.h"
#include "messages/run_log.h"
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

    // Bounded by the person answering: only Retry looks again.
    for (int check = 1;; ++check) {
        const bool running = IsProcessRunning(kHostProgramImage);
        messages::Log(L"running-program check " + std::to_wstring(check) + L": " +
                      kHostProgramImage + (running ? L" is running" : L" is not running"));
        if (!running) {
            return true;
        }
        if (messages::ShowBox(L"running programs", text, caption, kRetryCancelBox) != kIdRetry) {
            return false;
        }
    }
}

} // namespace install
