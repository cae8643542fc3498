// Controls of the simulated platform, for tests: what the "machine" looks like and what the
// "user" answers, and what the program showed.
#pragma once

#include "platform/files.h"
#include "platform/process.h"
#include "platform/resources.h"
#include "platform/sync.h"
#include "platform/ui.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace platform::host {

struct ShownBox {
    std::wstring text;
    std::wstring caption;
    std::uint32_t type = 0;
    std::uint16_t uiLanguage = 0;     // the thread's UI language when it was shown
    std::uint32_t session = 0;        // sent to this session (WTSSendMessageW); 0: shown here
    std::uint32_t timeoutSeconds = 0; // how long the box waits for an answer; 0: for ever
};

// What the person in another session does with a box sent there.
struct SessionReply {
    bool delivered = true; // false: the send fails, with `answer` as the last error
    int answer = 4;        // the button pressed (IDRETRY), or kAnswerTimedOut
};

// A patch as Windows Installer registers it on a product.
struct AppliedPatch {
    std::wstring state = L"1"; // MSIPATCHSTATE_APPLIED
    std::wstring uninstallable = L"1";
    unsigned context = 4; // MSIINSTALLCONTEXT_MACHINE: where Windows Installer has it registered
};

struct InstalledProduct {
    int state = 5; // INSTALLSTATE_DEFAULT
    std::map<std::wstring, std::wstring> properties;
    std::uint32_t configureResult = 0;            // what applying a patch returns
    std::deque<std::uint32_t> firstResults;       // returned before configureResult, one a call
    std::map<std::wstring, AppliedPatch> patches; // by patch code
    std::uint32_t removeResult = 0;               // what removing a patch returns
    std::deque<std::uint32_t> firstRemoveResults; // returned before removeResult, one a call
    bool removalLeavesPatch = false;              // success answered, nothing removed (Wine's stub)
    std::map<unsigned, std::uint32_t> contextErrors; // what asking a patch's state in a context
                                                     // gives instead of an answer
    // Windows Installer's verdict on a patch (MsiDeterminePatchSequenceW): the context the
    // product is installed in, and the patch's status there (0 applies, 1642 does not) and its
    // place in the sequence (0xFFFFFFFF: none, as for a patch superseded or obsoleted).
    unsigned context = 4; // MSIINSTALLCONTEXT_MACHINE
    std::uint32_t patchVerdict = 0;
    std::uint32_t patchOrder = 0;
    // Whether a successful patch registers the patch it was given under its code, as Windows
    // Installer does; by default the product's patches stay as the test set them, so that a test
    // can run the pack again on the machine as it was.
    bool registersPatches = false;
};

struct RemoveCall {
    std::wstring patchCode;
    std::wstring productCode;
    std::wstring properties;
    std::uint32_t uiLevel = 0;
    std::uint32_t threadLocale = 0;
};

// A named mutex of the simulated machine, as other processes hold it.
struct SimulatedMutex {
    // The simulated time (MonotonicMicroseconds) at which another process lets go of it: 0, free;
    // kNever, held for good.
    std::uint64_t heldUntil = 0;
    bool abandoned = false;         // its holder ends without letting go, at heldUntil
    int ownedByUs = 0;              // how many times this process owns it
    ObjectOwner owner;              // who made it
    bool refusesFullAccess = false; // its security lets us wait on it and no more
    bool refusesWaiting = false;    // its security lets us do nothing at all
    static constexpr std::uint64_t kNever = ~std::uint64_t{0};
};

struct VerdictCall {
    std::wstring productCode;
    std::wstring patchPath;
    unsigned context = 0;
};

struct ConfigureCall {
    std::wstring productCode;
    std::wstring commandLine;
    std::uint32_t uiLevel = 0;        // in force during the call
    std::uint32_t threadLocale = 0;   // in force during the call
    bool ownedInstallerMutex = false; // this process owned Global\_MSIExecute during the call
};

struct Simulation {
    LanguageId userUiLanguage = kLanguageEnglishUs;
    std::vector<std::wstring> commandLine{L"corvath-sp.exe"};
    bool commandLineSplits = true;
    std::vector<ShownBox> shownBoxes;
    std::deque<int> answers; // the user's answers, in order; IDOK (1) once they run out;
                             // kAnswerTimedOut: nobody answers a box that has a timeout
    // The process's window station: a person's, unless a test makes it a service's.
    WindowStation station{L"WinSta0", true, 1};
    std::deque<SessionReply> sessionReplies; // in order; once they run out, nobody answers
    std::map<std::uint32_t, std::uint32_t> processSessions; // by process id; absent: unknown
    std::map<std::uint32_t, std::wstring> sessionUsers;     // who works in each session
    std::uint16_t threadUiLanguage = 0;
    std::vector<std::uint32_t> summaryReads; // the buffer capacity of each summary property read
    std::map<std::wstring, InstalledProduct> products;
    std::vector<std::wstring> productQueries; // codes whose state was asked, in order
    std::uint32_t uiLevel = 1;                // INSTALLUILEVEL_DEFAULT, as a process starts
    std::vector<ConfigureCall> configureCalls;
    std::vector<RemoveCall> removeCalls;
    std::vector<VerdictCall> verdictCalls;
    std::uint32_t threadLocale = 1024;
    std::vector<ProcessEntry> processes;
    bool snapshotWorks = true;
    int snapshotsTaken = 0;
    std::function<void(Simulation&)> afterSnapshot;
    std::wstring userName = L"tester";
    std::wstring userSid = L"S-1-5-21-1-2-3-1001";
    bool elevated = false;
    std::vector<std::wstring> installerLogs; // every file the installer's log was sent to
    // What the naming rule takes for the root of the current drive.
    std::wstring driveRoot = L"/";
    // Runs just before a file is opened and held for reading: another process's moment.
    std::function<void(const std::wstring& path)> beforeHeldOpen;
    // Files that cannot be deleted (held open by someone, say), by path.
    std::set<std::wstring> undeletable;
    // Files made as the run's own (OpenMode::CreateNewOwn): on Windows their security lets
    // nobody below an administrator change them. Tests acting as another process ask here.
    std::set<std::wstring> ownFiles;
    bool spoilWrites = false; // the next write to a file of the run's own lands a byte wrong
    // Runs just before the platform opens `name` in the open folder at `folder` (HoldFolderIn,
    // OpenToAppendIn): another process's moment between two steps of an opening.
    std::function<void(const std::wstring& folder, const std::wstring& name)> beforeOpenIn;
    // Folders held without delete sharing (HoldFolderIn): their handles and identities. Windows
    // lets nobody rename or delete one while its handle is open (RenameAsAnotherProcess).
    std::vector<std::pair<std::intptr_t, FileId>> heldFolders;
    // Folders another process made reparse points in place (MakeJunctionInPlace), by identity.
    std::vector<FileId> reparsePoints;

    // Named mutexes by their full name ("Global\\..."); a name not here does not exist until
    // the program creates it.
    std::map<std::wstring, SimulatedMutex> mutexes;
    std::uint32_t globalMutexError = 0; // nonzero: "Global\\" mutexes cannot be had
    // The clock of durations (MonotonicMicroseconds): waits and pauses move it instead of
    // sleeping, and nothing else does.
    std::uint64_t clockMicroseconds = 0;
    std::vector<std::uint32_t> pauses; // every Pause, in milliseconds
    // Whether the embedded resources can be read from their file, as a pack reads a large
    // package from its own image file.
    bool resourceFileReadable = true;
    // A compiled .res to use instead of the embedded one.
    std::shared_ptr<const std::vector<char>> resourceFile;

    // The registry under HKEY_LOCAL_MACHINE and the service manager, as far as the run reads
    // them: REG_DWORD values by "key\\value", keys that exist, values that hold data, and the
    // services' start types by name (Windows Installer's is demand start, as installed).
    std::map<std::wstring, std::uint32_t> machineDwords;
    std::set<std::wstring> machineKeys;
    std::set<std::wstring> machineValuesWithData;
    std::map<std::wstring, std::uint32_t> serviceStartTypes{{L"msiserver", 3}};

    // Windows' boundaries that Wine does not draw, as the simulated machine draws them.
    // The high half of the volume serial that FileIdInfo gives (GetFileInformationByHandle gives
    // only the low 32 bits, which is what st_dev stands for).
    std::uint32_t volumeSerialHigh = 0;
    // The processes' sessions as WTSEnumerateProcessesW lists them, by process id; the sessions
    // ProcessIdToSessionId can tell are processSessions. An administrator that may not open
    // another user's process (only SYSTEM may) still finds it listed here.
    std::map<std::uint32_t, std::uint32_t> listedSessions;
};

// The one simulated machine of the process.
Simulation& TheSimulation();
// Back to the state of a freshly started process.
void ResetSimulation();

// Another process renames `from` to `to`, with the delete access a rename needs: refused (false,
// nothing changed) while this process holds `from` as HoldFolderIn does, as Windows refuses it.
bool RenameAsAnotherProcess(const std::wstring& from, const std::wstring& to);
// Another process makes the empty folder `folder` a junction to `target` in place, which a hold
// does not prevent: the folder stays the object its handles are open on, and they now say it is a
// reparse point; the path leads to `target`. The object itself moves to `folder` + ".object", as
// the simulation has no other place for it. False for a folder that is not empty: NTFS sets a
// mount point only on an empty one.
bool MakeJunctionInPlace(const std::wstring& folder, const std::wstring& target);

} // namespace platform::host
