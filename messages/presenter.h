// Shows one catalogue message in a message box, unless the run is quiet.
#pragma once

#include "messages/message_ids.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace messages {

// The product the install flow is working on; the %s of 306 and 308.
std::wstring& CurrentProductName();

// Silences ShowMessage completely (the /q switch).
void SetQuiet(bool quiet);
bool IsQuiet();

// Whether a person can see this process's boxes. Not on a window station that is not visible
// (a service's, where deployment tools run installers as SYSTEM): a box there waits for ever for
// an answer that cannot come, so none is shown, whatever the switches, and the run log has it.
void SetBoxesSeen(bool seen);
bool BoxesSeen();

// How one message is shown: its caption entry and message box type.
struct MessageStyle {
    unsigned captionId;
    std::uint32_t boxType;
};
// The style of `id`; ids outside the table get caption 311 and the error icon.
MessageStyle StyleOf(MessageId id);

constexpr std::uint32_t kBoxError = 0x50010;       // OK, error icon, foreground, topmost
constexpr std::uint32_t kBoxInformation = 0x50040; // OK, information icon, foreground, topmost

// The text of message `id` as it would be shown, filled with `errorCode` and the product name.
std::wstring MessageText(MessageId id, std::uint32_t errorCode);

// Shows message `id`, unless quiet. The thread's last-error value, read first, is the error code
// of 300. Either way the run log gets the message, and whether and how it was answered.
void ShowMessage(MessageId id);

// Shows a box of any kind and logs it, `what` naming it (a message id, or the box's role), with
// the message language, text, caption and answer. Returns the answer; kNotShown, without showing
// anything, where nobody can see a box.
constexpr int kNotShown = 0;
int ShowBox(std::wstring_view what, const std::wstring& text, const std::wstring& caption,
            std::uint32_t type);

// Sends a box to the person working in session `session`, from a station nobody sees, and
// waits at most `timeoutSeconds` for the answer; logged as ShowBox logs. Returns the button
// pressed, platform::kAnswerTimedOut when nobody answered in time, or kNotShown when it could
// not be sent.
int SendBox(std::wstring_view what, std::uint32_t session, const std::wstring& text,
            const std::wstring& caption, std::uint32_t type, std::uint32_t timeoutSeconds);

} // namespace messages
