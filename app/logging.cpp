#include "app/logging.h"

#include "install/exit_code.h"
#include "install/installer_calls.h"
#include "messages/message_ids.h"
#include "payload/resource_store.h"
#include "payload/temp_name.h"
#include "payload/version_info.h"
#include "platform/files.h"
#include "platform/system.h"
#include "runlog/run_log.h"

namespace app {
namespace {

constexpr std::size_t kFullPathCapacity = 260;
constexpr wchar_t kLogNamePrefix[] = L"corvath-sp-";

std::wstring TwoDigits(int value) {
    return (value < 10 ? L"0" : L"") + std::to_wstring(value);
}

std::wstring ElevationText(platform::Elevation elevation) {
    switch (elevation) {
    case platform::Elevation::Elevated:
        return L"elevated";
    case platform::Elevation::NotElevated:
        return L"not elevated";
    case platform::Elevation::Unknown:
        break;
    }
    return L"elevation unknown";
}

std::wstring QuotedList(const std::vector<std::wstring>& arguments) {
    std::wstring list;
    for (const std::wstring& argument : arguments) {
        list += (list.empty() ? L"" : L", ") + runlog::Quoted(argument);
    }
    return list;
}

// Where Windows Installer's log goes (InstallerLogStem); empty without a run log.
std::wstring g_installerLogStem;

// The default log's path without its ".log", in the run's temporary folder.
std::wstring DefaultLogStem(bool removal) {
    std::wstring targetVersion;
    payload::LoadResString(messages::kTargetVersion, targetVersion, messages::kCatalogueCapacity);
    std::wstring temp;
    platform::TempDirectory(temp);
    // The folder the patch's copy goes to, by the same rule: a missing TMP is passed over.
    std::wstring folder = payload::TempNameDirectory(temp);
    // In full, as Windows Installer gets its log's path: the last fallback is the current folder.
    std::wstring fullFolder;
    if (platform::FullPathName(folder, kFullPathCapacity, fullFolder)) {
        folder = fullFolder;
    }
    if (folder.back() != L'\\' && folder.back() != L'/') {
        folder.push_back(platform::kPathSeparator);
    }
    const std::wstring name =
        DefaultLogName(targetVersion + (removal ? L"-uninstall" : L""), platform::LocalTimeNow());
    return folder + name.substr(0, name.size() - 4);
}

bool StartDefaultLog(const std::wstring& stem) {
    // Runs started in the same second (a deployment tool's quick retry, two at once) count on.
    for (int attempt = 1; attempt <= payload::kNumberedNameAttempts; ++attempt) {
        std::uint32_t error = 0;
        const platform::OpenResult result = runlog::StartRunLog(
            payload::NumberedName(stem, attempt, L".log"), runlog::LogOpening::CreateNew, error);
        if (result != platform::OpenResult::AlreadyExists) {
            return result == platform::OpenResult::Opened;
        }
    }
    return false;
}

// The administrator's file, by its full path: the run's current folder is nobody's business
// later, and the file is opened from its root down. False with the reason in `error`.
bool StartAskedLog(const std::wstring& asked, std::uint32_t& error) {
    std::wstring fullPath;
    if (!platform::FullPathName(asked, kFullPathCapacity, fullPath)) {
        error = platform::LastError();
        return false;
    }
    return runlog::StartRunLog(fullPath, runlog::LogOpening::Append, error) ==
           platform::OpenResult::Opened;
}

} // namespace

std::wstring DefaultLogName(const std::wstring& targetVersion, const platform::LocalTime& at) {
    return kLogNamePrefix + targetVersion + L"-" + std::to_wstring(at.year) + TwoDigits(at.month) +
           TwoDigits(at.day) + L"-" + TwoDigits(at.hour) + TwoDigits(at.minute) +
           TwoDigits(at.second) + L".log";
}

std::wstring DefaultLogPlace(const std::wstring& targetVersion) {
    return L"%TEMP%\\" + (kLogNamePrefix + targetVersion) + L"-<yyyyMMdd-HHmmss>.log";
}

std::wstring DescribeSwitches(const RunOptions& options) {
    std::wstring text;
    auto add = [&text](const std::wstring& item) { text += (text.empty() ? L"" : L", ") + item; };
    if (options.helpRequested) {
        add(L"help");
    } else if (options.installDefault && !LineRefused(options)) {
        add(L"default installation");
    }
    if (options.extractRequested) {
        add(L"/e " + runlog::Quoted(options.extractPath));
    }
    if (options.patchListRequested) {
        add(L"/p " + runlog::Quoted(options.patchListPath));
    }
    if (options.listProductsRequested) {
        add(L"/i");
    }
    if (options.uninstallRequested) {
        add(L"/uninstall");
    }
    switch (options.installerUi) {
    case install::InstallerUi::None:
        add(L"/quiet");
        break;
    case install::InstallerUi::Passive:
        add(L"/passive");
        break;
    case install::InstallerUi::Basic:
        if (options.quiet) {
            add(L"/q");
        }
        break;
    }
    if (options.noRestart) {
        add(L"/norestart");
    }
    if (options.logRequested) {
        add(L"/log " + runlog::Quoted(options.logPath));
    }
    if (options.logStyle == runlog::LogStyle::CmTrace) {
        add(L"/logstyle cmtrace");
    }
    return text.empty() ? L"none" : text;
}

void StartLogging(const RunOptions& options, const platform::WindowStation& station) {
    const bool changesProducts = options.installDefault || options.uninstallRequested;
    const bool seen = platform::PersonCanSee(station);
    // A refused line keeps a log wherever it runs: the log is what names the argument.
    if (!options.logRequested && !(changesProducts && !options.helpRequested) && seen &&
        !LineRefused(options)) {
        return;
    }
    runlog::SetLogStyle(options.logStyle);
    // A /log place that cannot be used (a folder, a missing folder, a read-only file, a path too
    // long, a path through a link) must not cost the run its log: it goes to the default place,
    // and says so first.
    const bool asked = options.logRequested && !options.logPath.empty();
    std::uint32_t askedError = 0;
    const std::wstring defaultStem = DefaultLogStem(options.uninstallRequested);
    const bool inAskedPlace = asked && StartAskedLog(options.logPath, askedError);
    if (!inAskedPlace && !StartDefaultLog(defaultStem)) {
        return;
    }
    // Windows Installer opens its log by path, later, and its service as SYSTEM: the path must
    // lead to the file made for it until the run ends. The run's temporary folder is one that
    // only the run's account and administrators can change (C:\Windows\Temp for SYSTEM: users
    // may add files there, never rename, replace or make a link of the folder, nor touch a file
    // the run made and holds). A /log folder is one users may write: a folder of it emptied for
    // a moment could become a junction, or one the run cannot hold be renamed, after the check.
    const std::wstring& runLog = runlog::RunLogPath(); // a default one ends in .log
    g_installerLogStem =
        (inAskedPlace ? defaultStem : runLog.substr(0, runLog.size() - 4)) + L".installer";
    if (asked && askedError != 0) {
        runlog::Log(L"the run log cannot go where /log asks, " + runlog::Quoted(options.logPath) +
                        L" (" + runlog::DescribeError(askedError) + L"): it is here instead",
                    runlog::Severity::Warning);
    }
    payload::OwnVersion version;
    payload::ReadOwnVersion(version);
    runlog::Log(L"corvath-sp.exe " + version.fileVersion + L", built " + version.buildDate);
    runlog::Log(L"command line: " + platform::CommandLineText());
    runlog::Log(L"switches: " + DescribeSwitches(options));
    if (!options.lineRead) {
        runlog::Log(L"refused: the command line could not be read whole",
                    runlog::Severity::Failure);
    }
    if (!options.refused.empty()) {
        runlog::Log(L"refused: " + QuotedList(options.refused) +
                        (options.helpRequested ? L" (the help is shown instead)"
                                               : L" (neither a switch nor a switch's argument)"),
                    runlog::Severity::Failure);
    }
    if (!options.unread.empty()) {
        runlog::Log(L"not read, as they follow /i: " + QuotedList(options.unread));
    }
    runlog::Log(L"system: " + platform::SystemVersionText() + L"; user: " +
                platform::UserNameText() + L", " + ElevationText(platform::ProcessElevation()));
    const wchar_t* where = seen              ? L": visible"
                           : station.visible ? L": visible, but in session 0, where no person works"
                                             : L": not visible";
    runlog::Log(L"window station " + runlog::Quoted(station.name) + L", session " +
                std::to_wstring(station.session) + where +
                (seen ? L", boxes are shown to the person at this desktop"
                      : L", so nobody can answer a box here; none is shown, the log has each, and "
                        L"Windows Installer shows no dialog"));
    runlog::Log(L"run log: " + runlog::Quoted(runlog::RunLogPath()));
}

std::wstring InstallerLogStem() {
    return runlog::RunLogActive() ? g_installerLogStem : std::wstring();
}

void FinishLogging(std::uint32_t exitCode, std::wstring_view reason, std::uint64_t startedAt) {
    const std::uint64_t took = platform::MonotonicMicroseconds() - startedAt;
    // As deployment tools count the codes: success, a retry, or a failure.
    const runlog::Severity severity = install::IsInstallerSuccess(exitCode) ? runlog::Severity::Info
                                      : exitCode == install::kExitAlreadyRunning
                                          ? runlog::Severity::Warning
                                          : runlog::Severity::Failure;
    runlog::Log(L"exit code " + std::to_wstring(exitCode) + L": " + std::wstring(reason) +
                    L"; the run took " + std::to_wstring(took / 1000) + L" ms",
                severity);
    runlog::StopRunLog();
}

} // namespace app
