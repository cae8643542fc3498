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

struct ProcessSession {
    std::uint32_t processId = 0;
    std::uint32_t session = 0;
};
// The session of every process the terminal services list (WTSEnumerateProcessesW), which opens
// none of them: an administrator's list holds every user's processes, another account's may hold
// only its own. False when no list can be had.
bool ProcessSessions(std::vector<ProcessSession>& sessions);

// The session a process runs in (ProcessIdToSessionId), asked of the process itself: that takes
// PROCESS_QUERY_INFORMATION on it, which another user's process grants only SYSTEM. False when it
// cannot be told.
bool SessionOfProcess(std::uint32_t processId, std::uint32_t& session);

// Whole-string comparison without regard to case, as the platform's own (lstrcmpiW).
bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b);

// The thread locale (SetThreadLocale); false when the platform refuses the value.
bool SetThreadLocaleId(std::uint32_t localeId);
constexpr std::uint32_t kLocaleUserDefault = 1024;
// The thread's user-interface language (SetThreadUILanguage), which the buttons of Windows' own
// boxes follow. 0 is not the user's own but the language that best suits a console: the user's
// is UserDefaultUiLanguage (resources.h).
void SetThreadUiLanguage(std::uint16_t languageId);

} // namespace platform
