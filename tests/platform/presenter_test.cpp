// Shows every catalogue message through the real MessageBoxW. The runner script reads the boxes
// back from Wine's relay trace and checks text, caption and type; here we check what the
// program itself can see.
#include "messages/presenter.h"
#include "payload/resource_store.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/ui.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(Win32Presenter, ShowsEveryMessageOnce) {
    messages::CurrentProductName() = L"Corvath";
    payload::SetMessageLanguage(1033);
    for (unsigned id : {300u, 301u, 306u, 307u, 308u, 310u}) {
        platform::SetLastError(1603);
        messages::ShowMessage(messages::MessageId{id});
    }
    payload::SetMessageLanguage(1031);
    messages::ShowMessage(messages::kInstallSucceeded);
    payload::SetMessageLanguage(1045);
    messages::ShowMessage(messages::kInstallSucceeded);
    payload::ResetMessageLanguage();
}

TEST(Win32Presenter, QuietShowsNothing) {
    messages::SetQuiet(true);
    platform::SetLastError(5);
    messages::ShowMessage(messages::kInstallFailed);
    messages::SetQuiet(false);
}

} // namespace

namespace {

// On a display, a box nobody answers is closed when its time is up, from inside MessageBoxW's
// own loop, and says so; the runner gives this test a display (without one a box fails at once).
TEST(Win32Box, ABoxNobodyAnswersIsClosedWhenItsTimeIsUp) {
    wchar_t display[8] = {};
    if (GetEnvironmentVariableW(L"CORVATH_BOX_DISPLAY", display, 8) == 0) {
        GTEST_SKIP() << "needs a display: the runner gives it one";
    }
    const std::uint64_t started = platform::MonotonicMicroseconds();
    EXPECT_EQ(platform::ShowMessageBox(L"Nobody will answer this.", L"Corvath box timeout",
                                       MB_RETRYCANCEL | MB_ICONERROR, 700),
              platform::kAnswerTimedOut);
    const std::uint64_t took = (platform::MonotonicMicroseconds() - started) / 1000;
    EXPECT_GE(took, 600u);
    EXPECT_LT(took, 5000u);
}

} // namespace
