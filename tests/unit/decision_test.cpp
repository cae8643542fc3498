#include "install/decision.h"

#include <gtest/gtest.h>

namespace {

using install::DecideProduct;
using install::ParseVersion;
using install::ProductDecision;

ProductDecision Decide(const wchar_t* installed, const wchar_t* applicable,
                       const wchar_t* target = L"8.2.0.5") {
    return DecideProduct(ParseVersion(installed), ParseVersion(target), applicable);
}

TEST(DecideProduct, TheEmbeddedVersions) {
    EXPECT_EQ(Decide(L"8.1.0.4", L"8.1.0.4,"), ProductDecision::Apply);
    EXPECT_EQ(Decide(L"8.2.0.5", L"8.1.0.4,"), ProductDecision::UpToDate);
    EXPECT_EQ(Decide(L"8.0.0.0", L"8.1.0.4,"), ProductDecision::NotApplicable);
}

TEST(DecideProduct, OnlyEntriesFollowedByACommaCount) {
    EXPECT_EQ(Decide(L"8.1.0.4", L"8.1.0.4"), ProductDecision::NotApplicable);
    EXPECT_EQ(Decide(L"8.1.0.5", L"8.1.0.4,8.1.0.5"), ProductDecision::NotApplicable);
    EXPECT_EQ(Decide(L"8.1.0.5", L"8.1.0.4,8.1.0.5,"), ProductDecision::Apply);
    EXPECT_EQ(Decide(L"8.1.0.4", L""), ProductDecision::NotApplicable);
}

TEST(DecideProduct, EntriesCompareAsValues) {
    EXPECT_EQ(Decide(L"8.1.0.5", L"8.1.0.4, 8.1.0.5,"), ProductDecision::Apply);
    EXPECT_EQ(Decide(L"0.0.0.0", L"8.1.0.4,,"),
              ProductDecision::Apply); // an empty entry is 0.0.0.0
    EXPECT_EQ(Decide(L"", L",8.1.0.4,"), ProductDecision::Apply);
    EXPECT_EQ(Decide(L"8.1.0.4", L"8.1.0.04,"), ProductDecision::Apply);
}

TEST(DecideProduct, TheTargetFirstInTheListStopsTheRun) {
    EXPECT_EQ(Decide(L"8.1.0.4", L"8.2.0.5,8.1.0.4,"), ProductDecision::StopUpToDate);
    EXPECT_EQ(Decide(L"8.1.0.4", L"8.1.0.4,8.2.0.5,"), ProductDecision::Apply);
    // The installed version is looked at before the target within one entry.
    EXPECT_EQ(Decide(L"8.2.0.5", L"8.2.0.5,"), ProductDecision::UpToDate);
}

} // namespace

namespace {

using install::PatchState;

ProductDecision DecideWith(PatchState state, const wchar_t* installed, const wchar_t* applicable,
                           const wchar_t* target) {
    return DecideProduct(state, ParseVersion(installed), ParseVersion(target), applicable);
}

TEST(DecideProduct, WindowsInstallersPatchStateComesFirst) {
    struct Row {
        PatchState state;
        const wchar_t* installed;
        const wchar_t* applicable;
        const wchar_t* target;
        ProductDecision decision;
    };
    const Row rows[] = {
        // Applied, superseded and obsoleted leave a product current, whatever its version.
        {PatchState::Applied, L"8.1.0.4", L"8.1.0.4,", L"8.2.0.5", ProductDecision::AlreadyPatched},
        {PatchState::Superseded, L"8.1.0.4", L"8.1.0.4,", L"8.2.0.5",
         ProductDecision::AlreadyPatched},
        {PatchState::Obsoleted, L"1.1.1", L"1.1.1.0,", L"1.1.1.0", ProductDecision::AlreadyPatched},
        // Not registered, or registered and not applied: the versions decide, as they always did.
        {PatchState::NotRegistered, L"8.1.0.4", L"8.1.0.4,", L"8.2.0.5", ProductDecision::Apply},
        {PatchState::NotRegistered, L"8.2.0.5", L"8.1.0.4,", L"8.2.0.5", ProductDecision::UpToDate},
        {PatchState::NotRegistered, L"8.0.0.0", L"8.1.0.4,", L"8.2.0.5",
         ProductDecision::NotApplicable},
        {PatchState::Registered, L"8.1.0.4", L"8.1.0.4,", L"8.2.0.5", ProductDecision::Apply},
        {PatchState::Other, L"8.2.0.5", L"8.1.0.4,", L"8.2.0.5", ProductDecision::UpToDate},
        // A small update: the target is one of its versions, so only the patch state says
        // "current"; a product at the version it applies to gets the patch.
        {PatchState::NotRegistered, L"1.1.1", L"1.1.1.0,", L"1.1.1.0", ProductDecision::Apply},
        {PatchState::Registered, L"1.1.1", L"1.1.1.0,", L"1.1.1.0", ProductDecision::Apply},
        {PatchState::NotRegistered, L"1.1.2", L"1.1.1.0,", L"1.1.1.0",
         ProductDecision::NotApplicable},
        {PatchState::NotRegistered, L"8.1.0.4", L"8.2.0.5,8.1.0.4,", L"8.2.0.5",
         ProductDecision::Apply},
        {PatchState::NotRegistered, L"8.2.0.5", L"8.2.0.5,8.1.0.4,", L"8.2.0.5",
         ProductDecision::Apply},
        // Only an entry with its comma makes a pack a small update.
        {PatchState::NotRegistered, L"8.2.0.5", L"8.1.0.4,8.2.0.5", L"8.2.0.5",
         ProductDecision::UpToDate},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(DecideWith(row.state, row.installed, row.applicable, row.target), row.decision)
            << install::ToText(row.state) << ", installed "
            << testing::PrintToString(std::wstring(row.installed)) << ", list "
            << testing::PrintToString(std::wstring(row.applicable));
    }
}

TEST(DecideProduct, OnlyAListThatNamesTheTargetMakesASmallUpdate) {
    EXPECT_TRUE(install::LeavesVersionAlone(ParseVersion(L"1.1.1.0"), L"1.1.1,"));
    EXPECT_TRUE(install::LeavesVersionAlone(ParseVersion(L"8.2.0.5"), L"8.1.0.4,8.2.0.5,"));
    EXPECT_FALSE(install::LeavesVersionAlone(ParseVersion(L"8.2.0.5"), L"8.1.0.4,"));
    EXPECT_FALSE(install::LeavesVersionAlone(ParseVersion(L"8.2.0.5"), L"8.2.0.5"));
    EXPECT_FALSE(install::LeavesVersionAlone(ParseVersion(L"1.1.1.0"), L"1.1.2,"));
}

} // namespace
