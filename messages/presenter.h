// Shows one catalogue message in a message box, unless the run is quiet.
#pragma once

#include "messages/message_ids.h"

#include <cstdint>
#include <string>

namespace messages {

// The product the install flow is working on; the %s of 306 and 308.
std::wstring& CurrentProductName();

// Silences ShowMessage completely (the /q switch).
void SetQuiet(bool quiet);
bool IsQuiet();

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

// Shows message `id`. The thread's last-error value, read first, is the error code of 300.
void ShowMessage(MessageId id);

} // namespace messages
