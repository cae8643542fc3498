// The simulated process: its command line, the processes beside it, its thread's locale.
#include "platform/process.h"

#include "platform/host/simulation.h"

#include <cwctype>

namespace platform {

void SetModule(void*) {}

bool CommandLineArguments(std::vector<std::wstring>& arguments) {
    if (!host::TheSimulation().commandLineSplits) {
        return false;
    }
    arguments = host::TheSimulation().commandLine;
    return true;
}

bool ProcessSnapshot(std::vector<ProcessEntry>& processes) {
    host::Simulation& simulation = host::TheSimulation();
    ++simulation.snapshotsTaken;
    if (!simulation.snapshotWorks) {
        return false;
    }
    processes = simulation.processes;
    // A scripted change of the machine between two looks, e.g. the user closing the program.
    if (simulation.afterSnapshot) {
        simulation.afterSnapshot(simulation);
    }
    return true;
}

bool ProcessSessions(std::vector<ProcessSession>& sessions) {
    sessions.clear();
    for (const auto& [process, session] : host::TheSimulation().listedSessions) {
        sessions.push_back({process, session});
    }
    return true;
}

bool SessionOfProcess(std::uint32_t processId, std::uint32_t& session) {
    const auto& sessions = host::TheSimulation().processSessions;
    const auto found = sessions.find(processId);
    if (found == sessions.end()) {
        return false;
    }
    session = found->second;
    return true;
}

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool SetThreadLocaleId(std::uint32_t localeId) {
    // Like SetThreadLocale: ids beyond the language and sort fields are refused. 0, the neutral
    // locale, is kept as given, so that a test sees it passed.
    if (localeId > 0xFFFFF) {
        return false;
    }
    host::TheSimulation().threadLocale = localeId;
    return true;
}

void SetThreadUiLanguage(std::uint16_t languageId) {
    host::TheSimulation().threadUiLanguage = languageId;
}

} // namespace platform
