#include "install/exit_code.h"

#include <gtest/gtest.h>

namespace {

using install::RunTally;

TEST(ExitCode, EachOutcomeInOrderOfPrecedence) {
    struct Row {
        const char* name;
        RunTally tally;
        std::uint32_t code;
    };
    RunTally failedThenReboot;
    failedThenReboot.firstFailedResult = 1603;
    failedThenReboot.rebootRequired = true;
    RunTally failedAndNotApplicable;
    failedAndNotApplicable.firstFailedResult = 1620;
    failedAndNotApplicable.notApplicable = true;
    RunTally notApplicableAndReboot;
    notApplicableAndReboot.notApplicable = true;
    notApplicableAndReboot.rebootInitiated = true;
    RunTally bothReboots;
    bothReboots.rebootInitiated = true;
    bothReboots.rebootRequired = true;
    RunTally rebootRequired;
    rebootRequired.rebootRequired = true;
    RunTally noTarget;
    noTarget.noTargetInstalled = true;
    RunTally cancelled;
    cancelled.cancelled = true;
    RunTally ownFailure;
    ownFailure.ownWorkFailed = true;
    RunTally anotherRun;
    anotherRun.anotherRunKeptOn = true;
    RunTally unanswered;
    unanswered.unanswered = true;
    RunTally outOfTime;
    outOfTime.outOfTime = true;
    outOfTime.unanswered = true;
    RunTally refused;
    refused.refusedByPolicy = true;
    refused.cancelled = true;
    RunTally removalRefused = refused;
    removalRefused.removing = true;
    RunTally serviceDisabled;
    serviceDisabled.installerServiceDisabled = true;
    serviceDisabled.refusedByPolicy = true;

    const Row rows[] = {
        {"nothing happened but success", RunTally{}, 0},
        {"a failure wins over a later reboot", failedThenReboot, 1603},
        {"a failure wins over a 308", failedAndNotApplicable, 1620},
        {"a 308 wins over a reboot", notApplicableAndReboot, 1642},
        {"1641 wins over 3010", bothReboots, 1641},
        {"3010 alone", rebootRequired, 3010},
        {"no target installed", noTarget, 1642},
        {"the user cancelled", cancelled, 1602},
        {"the pack's own failure", ownFailure, 1603},
        {"another run of the pack kept on", anotherRun, 1618},
        {"nobody answered: try again later", unanswered, 1618},
        {"the 50-minute limit ran out", outOfTime, 1618},
        {"a policy refuses the patch", refused, 1643},
        {"a policy refuses its removal", removalRefused, 1649},
        {"the installer's service is disabled", serviceDisabled, 1601},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(install::ExitCodeFor(row.tally), row.code) << row.name;
    }
}

} // namespace
