#include "messages/presenter.h"
#include "payload/resource_store.h"
#include "platform/files.h"
#include "platform/host/simulation.h"
#include "platform/system.h"
#include "test_support.h"

namespace {

using platform::host::TheSimulation;

class Presenter : public testing_support::FreshProcess {
  protected:
    const platform::host::ShownBox& OnlyBox() {
        EXPECT_EQ(TheSimulation().shownBoxes.size(), 1u);
        return TheSimulation().shownBoxes.front();
    }
};

TEST_F(Presenter, QuietShowsNothingForAnyId) {
    messages::SetQuiet(true);
    for (unsigned id : {300u, 301u, 306u, 307u, 308u, 309u, 310u}) {
        messages::ShowMessage(messages::MessageId{id});
    }
    EXPECT_TRUE(TheSimulation().shownBoxes.empty());
}

TEST_F(Presenter, FailureShowsTheLastErrorSetJustBefore) {
    platform::SetLastError(1603);
    messages::ShowMessage(messages::kInstallFailed);
    const auto& box = OnlyBox();
    EXPECT_EQ(box.caption, L"Installation Error");
    EXPECT_EQ(box.type, 0x50010u);
    EXPECT_EQ(box.text, L"A problem prevented the service pack from being installed. Contact your "
                        L"system administrator. \n\n Error Code: 1603");
}

TEST_F(Presenter, EachMessageHasItsCaptionAndIcon) {
    struct Row {
        unsigned id;
        const wchar_t* caption;
        std::uint32_t type;
    };
    const Row rows[] = {
        {301, L"Installation Successful", 0x50040}, {306, L"Installation Unnecessary", 0x50010},
        {307, L"Installation Error", 0x50010},      {308, L"Installation Error", 0x50010},
        {309, L"Installation Error", 0x50010},      {310, L"Installation Error", 0x50010},
        {314, L"Installation Error", 0x50010},
    };
    for (const Row& row : rows) {
        TheSimulation().shownBoxes.clear();
        messages::ShowMessage(messages::MessageId{row.id});
        ASSERT_EQ(TheSimulation().shownBoxes.size(), 1u) << "id " << row.id;
        EXPECT_EQ(TheSimulation().shownBoxes[0].caption, row.caption) << "id " << row.id;
        EXPECT_EQ(TheSimulation().shownBoxes[0].type, row.type) << "id " << row.id;
    }
    // No catalogue entry exists for 314: an empty text under the error caption.
    EXPECT_TRUE(TheSimulation().shownBoxes.back().text.empty());
}

TEST_F(Presenter, ProductMessagesNameTheCurrentProduct) {
    messages::CurrentProductName() = L"Corvath";
    messages::ShowMessage(messages::kNotNecessary);
    EXPECT_EQ(OnlyBox().text,
              L"Your version of Corvath is up-to-date and this service pack is not necessary");
    TheSimulation().shownBoxes.clear();
    messages::ShowMessage(messages::kWrongVersion);
    EXPECT_NE(OnlyBox().text.find(L"designed for Corvath - Update 1"), std::wstring::npos);
}

TEST_F(Presenter, TheMessageLanguageChoosesTextAndCaption) {
    payload::SetMessageLanguage(1031);
    messages::ShowMessage(messages::kInstallSucceeded);
    std::wstring german;
    payload::LoadResString(301, german, 256);
    std::wstring caption;
    payload::LoadResString(312, caption, 256);
    EXPECT_EQ(OnlyBox().text, german);
    EXPECT_EQ(OnlyBox().caption, caption);
    EXPECT_NE(caption, L"Installation Successful");
}

TEST_F(Presenter, PolishSuccessNamesTheProduct) {
    payload::SetMessageLanguage(1045);
    messages::CurrentProductName() = L"Corvath";
    messages::ShowMessage(messages::kInstallSucceeded);
    EXPECT_NE(OnlyBox().text.find(L"Corvath"), std::wstring::npos);
    EXPECT_EQ(OnlyBox().text.find(L"%s"), std::wstring::npos);
}

TEST_F(Presenter, ALongProductNameIsCut) {
    messages::CurrentProductName() = std::wstring(3000, L'N');
    messages::ShowMessage(messages::kNotNecessary);
    std::wstring pattern;
    payload::LoadResString(306, pattern, 256);
    // The buffer holds the template's length plus 512 characters, terminator included.
    EXPECT_EQ(OnlyBox().text.size(), pattern.size() + 511);
    EXPECT_EQ(OnlyBox().text.rfind(L"Your version of NNN", 0), 0u);
}

} // namespace
