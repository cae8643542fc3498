#include "install/host_guard.h"

#include "messages/format.h"
#include "messages/message_ids.h"
#include "messages/presenter.h"
#include "payload/resource_store.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "runlog/run_log.h"

#include <algorithm>

namespace install {
namespace {

constexpr wchar_t kProgramList[] = L"Corvath\n";
constexpr int kIdCancel = 2;
constexpr int kIdRetry = 4;
constexpr std::size_t kFormatSlack = 512;

std::wstring ProcessList(const std::vector<std::uint32_t>& processes) {
    std::wstring list;
    for (const std::uint32_t id : processes) {
        list += (list.empty() ? L"" : L", ") + std::to_wstring(id);
    }
    return list;
}

// A session where a person may work, and the first of the host program's processes there.
struct SessionToAsk {
    std::uint32_t session;
    std::uint32_t process;
};

// The session of `process`: from the terminal services' list, which an administrator's run that
// may not open another user's process (a scheduled task as a service account) still has; else
// asked of the process itself, as SYSTEM may.
bool SessionOf(std::uint32_t process, const std::vector<platform::ProcessSession>& listed,
               std::uint32_t& session) {
    const auto found =
        std::find_if(listed.begin(), listed.end(), [process](const platform::ProcessSession& p) {
            return p.processId == process;
        });
    if (found != listed.end()) {
        session = found->session;
        return true;
    }
    return platform::SessionOfProcess(process, session);
}

// The sessions of the host program's processes where a person may work, each once, in the
// order found.
std::vector<SessionToAsk> SessionsToAsk(const std::vector<std::uint32_t>& processes) {
    std::vector<platform::ProcessSession> listed;
    if (!platform::ProcessSessions(listed)) {
        runlog::LogFailure(L"listing the sessions of the running processes", platform::LastError());
    }
    std::vector<SessionToAsk> sessions;
    for (const std::uint32_t process : processes) {
        std::uint32_t session = 0;
        if (!SessionOf(process, listed, session)) {
            runlog::LogFailure(L"telling the session of process " + std::to_wstring(process),
                               platform::LastError());
        } else if (session == platform::kServicesSession) {
            runlog::Log(L"process " + std::to_wstring(process) +
                        L" runs in session 0, where no person works");
        } else if (std::none_of(sessions.begin(), sessions.end(), [session](const SessionToAsk& s) {
                       return s.session == session;
                   })) {
            sessions.push_back({session, process});
        }
    }
    return sessions;
}

// What one round of asking came to: every person asked answered Retry, someone pressed Cancel,
// or nobody answered.
GuardOutcome OutcomeOf(int answer) {
    return answer == kIdRetry    ? GuardOutcome::Closed
           : answer == kIdCancel ? GuardOutcome::Cancelled
                                 : GuardOutcome::Unanswered;
}

// From a station nobody sees: asks the person in each session where the host program runs, each
// box waiting at most kAskSessionSeconds and no longer than the run has left. Closed (look
// again) when every one of them answered Retry; Cancelled when any pressed Cancel.
GuardOutcome AskSessions(const std::vector<std::uint32_t>& processes, const std::wstring& text,
                         const std::wstring& caption, const WaitBudget& budget) {
    const std::vector<SessionToAsk> sessions = SessionsToAsk(processes);
    if (sessions.empty()) {
        runlog::Log(std::wstring(L"nobody can be asked to close ") + kHostProgramImage +
                        L": it runs in no session where a person works",
                    runlog::Severity::Warning);
        return GuardOutcome::Unanswered;
    }
    GuardOutcome outcome = GuardOutcome::Closed;
    for (const SessionToAsk& asked : sessions) {
        const std::uint32_t seconds =
            std::min(kAskSessionSeconds, budget.RunLeftMilliseconds() / 1000);
        if (seconds == 0) {
            return GuardOutcome::OutOfTime;
        }
        const std::wstring user = platform::SessionUserName(asked.session);
        runlog::Log(L"asking " + (user.empty() ? std::wstring(L"the person") : user) +
                    L" in session " + std::to_wstring(asked.session) + L", where " +
                    kHostProgramImage + L" runs as process " + std::to_wstring(asked.process) +
                    L", to close it");
        const GuardOutcome answered =
            OutcomeOf(messages::SendBox(L"running programs", asked.session, text, caption,
                                        messages::Box::RetryCancel, seconds));
        // A person's Cancel decides; otherwise nobody answering keeps the run from going on.
        if (answered == GuardOutcome::Cancelled) {
            return answered;
        }
        if (answered != GuardOutcome::Closed) {
            outcome = answered;
        }
    }
    return outcome;
}

const wchar_t* OutcomeText(GuardOutcome outcome) {
    switch (outcome) {
    case GuardOutcome::Closed:
        return L"closed";
    case GuardOutcome::Cancelled:
        return L"the person asked pressed Cancel: the run is cancelled (1602)";
    case GuardOutcome::Unanswered:
        return L"nobody answered, or nobody could be asked: the run ends for a later try (1618)";
    case GuardOutcome::OutOfTime:
        return L"the 50-minute limit for waiting ran out with the question open: the run ends for a "
               L"later try (1618)";
    }
    return L"";
}

} // namespace

std::vector<std::uint32_t> RunningProcesses(const std::wstring& imageName) {
    std::vector<platform::ProcessEntry> processes;
    std::vector<std::uint32_t> running;
    if (!platform::ProcessSnapshot(processes)) {
        return running;
    }
    for (const platform::ProcessEntry& process : processes) {
        if (process.processId != 0 && platform::EqualIgnoringCase(process.exeFile, imageName)) {
            running.push_back(process.processId);
        }
    }
    return running;
}

bool IsProcessRunning(const std::wstring& imageName) {
    return !RunningProcesses(imageName).empty();
}

GuardOutcome WaitForHostProgramClosed(const WaitBudget& budget) {
    std::wstring caption;
    std::wstring pattern;
    payload::LoadResString(messages::kCaptionError, caption, messages::kCatalogueCapacity);
    payload::LoadResString(messages::kProgramsRunning, pattern, messages::kCatalogueCapacity);
    const std::wstring text = messages::FormatTemplate(
        pattern,
        {messages::FormatArgument::Text(kProgramList), messages::FormatArgument::Text(L"")},
        pattern.size() + kFormatSlack);

    // Bounded by the person answering, and by the run's bound: only Retry looks again.
    for (int check = 1;; ++check) {
        const std::vector<std::uint32_t> running = RunningProcesses(kHostProgramImage);
        runlog::Log(L"running-program check " + std::to_wstring(check) + L": " + kHostProgramImage +
                    (running.empty() ? L" is not running"
                                     : L" is running (process " + ProcessList(running) + L")"));
        if (running.empty()) {
            return GuardOutcome::Closed;
        }
        const std::uint32_t left = budget.RunLeftMilliseconds();
        GuardOutcome outcome = GuardOutcome::OutOfTime;
        if (left != 0) {
            outcome = messages::BoxesSeen()
                          ? OutcomeOf(messages::ShowBox(L"running programs", text, caption,
                                                        messages::Box::RetryCancel, left))
                          : AskSessions(running, text, caption, budget);
        }
        if (outcome == GuardOutcome::Unanswered && budget.RunLeftMilliseconds() == 0) {
            outcome = GuardOutcome::OutOfTime; // the box closed because the run's time was up
        }
        if (outcome != GuardOutcome::Closed) {
            runlog::Log(std::wstring(kHostProgramImage) + L" still runs: " + OutcomeText(outcome),
                        outcome == GuardOutcome::Cancelled ? runlog::Severity::Info
                                                           : runlog::Severity::Warning);
            return outcome;
        }
    }
}

bool WaitForHostProgramClosed(RunTally& tally, const WaitBudget& budget) {
    switch (WaitForHostProgramClosed(budget)) {
    case GuardOutcome::Closed:
        return true;
    case GuardOutcome::Cancelled:
        tally.cancelled = true;
        platform::SetLastError(kExitUserCancelled);
        return false;
    case GuardOutcome::Unanswered:
        tally.unanswered = true;
        break;
    case GuardOutcome::OutOfTime:
        tally.outOfTime = true;
        break;
    }
    platform::SetLastError(kExitAlreadyRunning);
    return false;
}

} // namespace install
