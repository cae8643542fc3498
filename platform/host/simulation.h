// Controls of the simulated platform, for tests: what the "machine" looks like and what the
// "user" answers, and what the program showed.
#pragma once

#include "platform/resources.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace platform::host {

struct ShownBox {
    std::wstring text;
    std::wstring caption;
    std::uint32_t type = 0;
};

struct Simulation {
    LanguageId userUiLanguage = kLanguageEnglishUs;
    std::vector<std::wstring> commandLine{L"corvath-sp.exe"};
    bool commandLineSplits = true;
    std::vector<ShownBox> shownBoxes;
    std::deque<int> answers; // the user's answers, in order; IDOK (1) once they run out
    std::vector<std::uint32_t> summaryReads; // the buffer capacity of each summary property read
    // A compiled .res to use instead of the embedded one.
    std::shared_ptr<const std::vector<char>> resourceFile;
};

// The one simulated machine of the process.
Simulation& TheSimulation();
// Back to the state of a freshly started process.
void ResetSimulation();

} // namespace platform::host
