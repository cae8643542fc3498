// The simulated machine's boxes: what the user answers here, and what the person in another
// session answers there.
#include "platform/ui.h"

#include "platform/host/simulation.h"
#include "platform/system.h"

namespace platform {

int ShowMessageBox(const std::wstring& text, const std::wstring& caption, std::uint32_t type,
                   std::uint32_t timeoutMilliseconds) {
    host::Simulation& simulation = host::TheSimulation();
    simulation.shownBoxes.push_back(
        {text, caption, type, simulation.threadUiLanguage, 0, timeoutMilliseconds / 1000});
    if (simulation.answers.empty()) {
        return 1;
    }
    const int answer = simulation.answers.front();
    simulation.answers.pop_front();
    // Nobody at the desk: the box waits its whole time, on the simulated clock.
    if (answer == kAnswerTimedOut && timeoutMilliseconds != 0) {
        simulation.clockMicroseconds += std::uint64_t{timeoutMilliseconds} * 1000;
    }
    return answer;
}

WindowStation ProcessWindowStation() {
    return host::TheSimulation().station;
}

std::wstring SessionUserName(std::uint32_t session) {
    const auto& users = host::TheSimulation().sessionUsers;
    const auto found = users.find(session);
    return found == users.end() ? std::wstring() : found->second;
}

bool ShowMessageBoxInSession(std::uint32_t session, const std::wstring& text,
                             const std::wstring& caption, std::uint32_t type,
                             std::uint32_t timeoutSeconds, int& answer) {
    host::Simulation& simulation = host::TheSimulation();
    simulation.shownBoxes.push_back(
        {text, caption, type, simulation.threadUiLanguage, session, timeoutSeconds});
    host::SessionReply reply{true, kAnswerTimedOut};
    if (!simulation.sessionReplies.empty()) {
        reply = simulation.sessionReplies.front();
        simulation.sessionReplies.pop_front();
    }
    if (!reply.delivered) {
        SetLastError(static_cast<std::uint32_t>(reply.answer));
        return false;
    }
    // Nobody there: the box waits its whole time, on the simulated clock.
    if (reply.answer == kAnswerTimedOut) {
        simulation.clockMicroseconds += std::uint64_t{timeoutSeconds} * 1000000;
    }
    answer = reply.answer;
    return true;
}

} // namespace platform
