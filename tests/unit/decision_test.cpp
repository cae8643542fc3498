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
