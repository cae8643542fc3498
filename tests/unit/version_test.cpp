#include "install/version.h"

#include <gtest/gtest.h>

namespace {

using install::ParseDecimal;
using install::ParseVersion;
using install::VersionQuad;

struct VersionRow {
    const wchar_t* text;
    std::int32_t major, minor;
    std::int16_t build, revision;
};

TEST(ParseVersion, ReadsEveryComponentItHas) {
    const VersionRow rows[] = {
        {L"8.2.0.5", 8, 2, 0, 5},
        {L"8,2,0,5", 8, 2, 0, 5},
        {L"8.1.0.4,", 8, 1, 0, 4},
        {L"8.2.0.5.7", 8, 2, 0, 5},
        {L"", 0, 0, 0, 0},
        {L"abc", 0, 0, 0, 0},
        // Fewer than four components, as Windows Installer writes ProductVersion.
        {L"8", 8, 0, 0, 0},
        {L"8.2", 8, 2, 0, 0},
        {L"8.2.0", 8, 2, 0, 0},
        {L"1.1.1", 1, 1, 1, 0},
        {L"1,1,1", 1, 1, 1, 0},
        {L"1.1.1x", 1, 1, 1, 0},
        {L" 8. 2", 8, 2, 0, 0},
        {L"1.1.70000", 1, 1, 4464, 0},
        {L"8.", 8, 0, 0, 0},
        {L".5.6.7", 0, 5, 6, 7},
        {L"8..0.5", 8, 0, 0, 5},
        {L"8. 2.0.5", 8, 2, 0, 5},
        {L"8.2x.0.5", 8, 2, 0, 5},
        {L"-1.0.0.0", -1, 0, 0, 0},
        {L"99999999999.0.0.0", 2147483647, 0, 0, 0},
        {L"-99999999999.0.0.0", -2147483647 - 1, 0, 0, 0},
        {L"8.2.65541.5", 8, 2, 5, 5},
        {L"8.2.40000.0", 8, 2, -25536, 0},
        {L"8.2.0.65536", 8, 2, 0, 0},
        {L"\u0668.\u0662.\u0660.\u0665", 8, 2, 0, 5}, // Arabic-Indic digits
        {L"\uFF18.\uFF12.\uFF10.\uFF15", 8, 2, 0, 5}, // full-width digits
        {L"\u096E.\u0967.\u0966.\u096A", 8, 1, 0, 4}, // Devanagari digits
    };
    for (const VersionRow& row : rows) {
        const VersionQuad v = ParseVersion(row.text);
        EXPECT_EQ(v.major, row.major) << testing::PrintToString(std::wstring(row.text));
        EXPECT_EQ(v.minor, row.minor) << testing::PrintToString(std::wstring(row.text));
        EXPECT_EQ(v.build, row.build) << testing::PrintToString(std::wstring(row.text));
        EXPECT_EQ(v.revision, row.revision) << testing::PrintToString(std::wstring(row.text));
    }
}

TEST(ParseVersion, EqualityComparesAllFourFields) {
    EXPECT_TRUE(install::VersionsEqual(ParseVersion(L"8.2.65541.5"), ParseVersion(L"8.2.5.5")));
    EXPECT_TRUE(install::VersionsEqual(ParseVersion(L"8,1,0,4"), ParseVersion(L"8.1.0.4")));
    EXPECT_FALSE(install::VersionsEqual(ParseVersion(L"8.2.0.5"), ParseVersion(L"8.2.0.6")));
    EXPECT_FALSE(install::VersionsEqual(ParseVersion(L"8.2.0.5"), ParseVersion(L"8.2.1.5")));
    EXPECT_FALSE(install::VersionsEqual(ParseVersion(L"8.2.0.5"), ParseVersion(L"8.3.0.5")));
    EXPECT_FALSE(install::VersionsEqual(ParseVersion(L"8.2.0.5"), ParseVersion(L"9.2.0.5")));
    // Three-part versions are told apart by their last component, and read as the four-part.
    EXPECT_FALSE(install::VersionsEqual(ParseVersion(L"1.1.1"), ParseVersion(L"1.1.2")));
    EXPECT_TRUE(install::VersionsEqual(ParseVersion(L"1.1.1"), ParseVersion(L"1.1.1.0")));
    EXPECT_TRUE(install::VersionsEqual(ParseVersion(L"8.2"), ParseVersion(L"8.2.0.0")));
}

TEST(ParseDecimal, FollowsTheWideStringToLongRules) {
    EXPECT_EQ(ParseDecimal(L"1031"), 1031);
    EXPECT_EQ(ParseDecimal(L"  \t+42xyz"), 42);
    EXPECT_EQ(ParseDecimal(L"-0"), 0);
    EXPECT_EQ(ParseDecimal(L"- 5"), 0);
    EXPECT_EQ(ParseDecimal(L"+-5"), 0);
    EXPECT_EQ(ParseDecimal(L""), 0);
    EXPECT_EQ(ParseDecimal(L"2147483647"), 2147483647);
    EXPECT_EQ(ParseDecimal(L"2147483648"), 2147483647);
    EXPECT_EQ(ParseDecimal(L"-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ParseDecimal(L"-2147483649"), -2147483647 - 1);
    EXPECT_EQ(ParseDecimal(std::wstring(400, L'9')), 2147483647);
    EXPECT_EQ(ParseDecimal(L"0x1F"), 0);
    EXPECT_EQ(ParseDecimal(L"\u00A012"), 12);
}

TEST(DecimalDigitValue, KnowsEveryDigitOfTheBlocksAndNothingAround) {
    for (wchar_t zero : {L'0', L'\u0660', L'\u06F0', L'\u0966', L'\u09E6', L'\u0E50', L'\uFF10'}) {
        for (int value = 0; value < 10; ++value) {
            EXPECT_EQ(install::DecimalDigitValue(static_cast<wchar_t>(zero + value)), value)
                << std::hex << static_cast<int>(zero);
        }
        EXPECT_EQ(install::DecimalDigitValue(static_cast<wchar_t>(zero - 1)), -1);
        EXPECT_EQ(install::DecimalDigitValue(static_cast<wchar_t>(zero + 10)), -1);
    }
    // Superscripts and circled numbers are not decimal digits.
    EXPECT_EQ(install::DecimalDigitValue(L'\u00B2'), -1);
    EXPECT_EQ(install::DecimalDigitValue(L'\u2460'), -1);
}

} // namespace
