// The process itself: its module and its command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Records the module whose resources the store reads (the instance handle on Windows).
void SetModule(void* module);

// The command line split by the platform's rules, argument 0 (the program) included.
// False when the command line cannot be split.
bool CommandLineArguments(std::vector<std::wstring>& arguments);

struct ProcessEntry {
    std::uint32_t processId = 0;
    std::wstring exeFile; // the executable's file name, without a folder
};

// A snapshot of the running processes (the toolhelp snapshot on Windows). False when none can
// be taken.
bool ProcessSnapshot(std::vector<ProcessEntry>& processes);

// The session a process runs in (ProcessIdToSessionId). False when it cannot be told.
bool SessionOfProcess(std::uint32_t processId, std::uint32_t& session);

// Whole-string comparison without regard to case, as the platform's own (lstrcmpiW).
bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b);

// The thread locale (SetThreadLocale); false when the platform refuses the value.
bool SetThreadLocaleId(std::uint32_t localeId);
constexpr std::uint32_t kLocaleUserDefault = 1024;
// The thread's user-interface language (SetThreadUILanguage), which the buttons of Windows' own
// boxes follow; 0 for the user's own.
void SetThreadUiLanguage(std::uint16_t languageId);

} // namespace platform
