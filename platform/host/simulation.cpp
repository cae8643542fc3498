#include "platform/host/simulation.h"

#include "platform/process.h"
#include "platform/ui.h"

namespace platform {
namespace host {

Simulation& TheSimulation() {
    static Simulation simulation;
    return simulation;
}

void ResetSimulation() {
    TheSimulation() = Simulation{};
}

} // namespace host

void SetModule(void*) {}

bool CommandLineArguments(std::vector<std::wstring>& arguments) {
    if (!host::TheSimulation().commandLineSplits) {
        return false;
    }
    arguments = host::TheSimulation().commandLine;
    return true;
}

int ShowMessageBox(const std::wstring& text, const std::wstring& caption, std::uint32_t type) {
    host::Simulation& simulation = host::TheSimulation();
    simulation.shownBoxes.push_back({text, caption, type});
    if (simulation.answers.empty()) {
        return 1;
    }
    const int answer = simulation.answers.front();
    simulation.answers.pop_front();
    return answer;
}

LanguageId UserDefaultUiLanguage() {
    return host::TheSimulation().userUiLanguage;
}

} // namespace platform
