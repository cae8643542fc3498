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

// The kinds of box the pack shows. How each looks (its buttons and icon, in front of every
// window) is the presenter's alone.
enum class Box {
    Error,       // OK, the error icon
    Information, // OK, the information icon
    RetryCancel, // Retry and Cancel, the error icon: the dialog asking to close Corvath
    Plain,       // OK, no icon: the product list
};

// The text of message `id` as it would be shown, filled with `errorCode` and the product name.
std::wstring MessageText(MessageId id, std::uint32_t errorCode);

// Shows message `id`, unless quiet. The thread's last-error value, read first, is the error code
// of 300. Either way the run log gets the message, and whether and how it was answered.
void ShowMessage(MessageId id);

// Shows a box of any kind and logs it, `what` naming it (a message id, or the box's role), with
// the message language, text, caption and answer. Returns the answer; kNotShown, without showing
// anything, where nobody can see a box; platform::kAnswerTimedOut when a box with a timeout
// (milliseconds, 0: none) was not answered in time.
constexpr int kNotShown = 0;
int ShowBox(std::wstring_view what, const std::wstring& text, const std::wstring& caption, Box box,
            std::uint32_t timeoutMilliseconds = 0);

// Sends a box to the person working in session `session`, from a station nobody sees, and
// waits at most `timeoutSeconds` for the answer; logged as ShowBox logs. Returns the button
// pressed, platform::kAnswerTimedOut when nobody answered in time, or kNotShown when it could
// not be sent.
int SendBox(std::wstring_view what, std::uint32_t session, const std::wstring& text,
            const std::wstring& caption, Box box, std::uint32_t timeoutSeconds);

} // namespace messages
