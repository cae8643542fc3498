// Shows every catalogue message through the real MessageBoxW. The runner script reads the boxes
// back from Wine's relay trace and checks text, caption and type; here we check what the
// program itself can see.
#include "messages/presenter.h"
#include "payload/resource_store.h"
#include "platform/files.h"
#include "platform/system.h"

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
