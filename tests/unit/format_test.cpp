#include "messages/format.h"

#include <gtest/gtest.h>

namespace {

using messages::FormatArgument;
using messages::FormatTemplate;

TEST(Format, FillsIntegersAndTextsInOrder) {
    EXPECT_EQ(FormatTemplate(L"Error Code: %d", {FormatArgument::Integer(1603)}, 100),
              L"Error Code: 1603");
    EXPECT_EQ(
        FormatTemplate(L"%s and %s", {FormatArgument::Text(L"a"), FormatArgument::Text(L"b")}, 100),
        L"a and b");
    EXPECT_EQ(FormatTemplate(L"%i %ld %ls %ws",
                             {FormatArgument::Integer(1), FormatArgument::Integer(2),
                              FormatArgument::Text(L"x"), FormatArgument::Text(L"y")},
                             100),
              L"1 2 x y");
}

TEST(Format, IntegersAreSigned32Bit) {
    EXPECT_EQ(FormatTemplate(L"%d", {FormatArgument::Integer(-1)}, 100), L"-1");
    EXPECT_EQ(FormatTemplate(L"%d", {FormatArgument::Integer(INT32_MIN)}, 100), L"-2147483648");
    EXPECT_EQ(
        FormatTemplate(L"%d", {FormatArgument::Integer(static_cast<std::int32_t>(3010u))}, 100),
        L"3010");
}

TEST(Format, NeverReadsAValueThatWasNotPassed) {
    EXPECT_EQ(FormatTemplate(L"[%s][%d]", {}, 100), L"[][]");
    EXPECT_EQ(FormatTemplate(L"%s %s", {FormatArgument::Text(L"only")}, 100), L"only ");
    // A kind mismatch prints nothing rather than reinterpreting the value.
    EXPECT_EQ(FormatTemplate(L"<%d>", {FormatArgument::Text(L"text")}, 100), L"<>");
}

TEST(Format, PercentSequencesOtherThanPlaceholders) {
    EXPECT_EQ(FormatTemplate(L"100%% done", {}, 100), L"100% done");
    EXPECT_EQ(FormatTemplate(L"50% off %x", {}, 100), L"50% off %x");
    EXPECT_EQ(FormatTemplate(L"ends in %", {}, 100), L"ends in %");
}

TEST(Format, OutputIsCutToTheBufferAndTo1024Characters) {
    EXPECT_EQ(FormatTemplate(L"%s", {FormatArgument::Text(std::wstring(50, L'n'))}, 11),
              std::wstring(10, L'n'));
    EXPECT_EQ(FormatTemplate(L"abc%d", {FormatArgument::Integer(12345)}, 6), L"abc12");
    const std::wstring longName(5000, L'n');
    EXPECT_EQ(FormatTemplate(L"%s", {FormatArgument::Text(longName)}, 6000).size(), 1023u);
    EXPECT_EQ(FormatTemplate(L"abc", {}, 0), L"");
}

} // namespace
