#include "platform/host/simulation.h"

#include "platform/process.h"

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

LanguageId UserDefaultUiLanguage() {
    return host::TheSimulation().userUiLanguage;
}

} // namespace platform
