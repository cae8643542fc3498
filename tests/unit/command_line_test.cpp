#include "app/run_options.h"

#include <gtest/gtest.h>

namespace {

app::RunOptions Parse(std::vector<std::wstring> arguments) {
    arguments.insert(arguments.begin(), L"corvath-sp.exe");
    app::RunOptions options;
    app::ParseArguments(arguments, options);
    return options;
}

TEST(CommandLine, NoArgumentsIsADefaultInstallationWithBoxes) {
    const app::RunOptions options = Parse({});
    EXPECT_TRUE(options.installDefault);
    EXPECT_FALSE(options.quiet);
    EXPECT_FALSE(options.extractRequested || options.patchListRequested ||
                 options.listProductsRequested);
}

TEST(CommandLine, SwitchesIgnoreTheCaseOfAsciiLettersOnly) {
    EXPECT_TRUE(Parse({L"/Q"}).quiet);
    EXPECT_TRUE(Parse({L"/E"}).extractRequested);
    EXPECT_TRUE(Parse({L"/P"}).patchListRequested);
    EXPECT_TRUE(Parse({L"/I"}).listProductsRequested);
    // Dotless and dotted capital I fold to i in some locales; a switch must not.
    EXPECT_FALSE(Parse({L"/\u0130"}).listProductsRequested);
    EXPECT_FALSE(Parse({L"/\u0131"}).listProductsRequested);
}

TEST(CommandLine, ArgumentsThatAreNotWholeSwitchesAreIgnored) {
    for (const wchar_t* ignored : {L"-q", L"/quiet", L"q", L"/", L"", L"/q ", L"//q"}) {
        const app::RunOptions options = Parse({ignored});
        EXPECT_FALSE(options.quiet) << "argument: " << std::wstring(ignored);
        EXPECT_TRUE(options.installDefault);
    }
    const app::RunOptions options = Parse({L"-q", L"/q"});
    EXPECT_TRUE(options.quiet);
    EXPECT_TRUE(options.installDefault);
}

TEST(CommandLine, ExtractTakesTheNextArgumentWhateverItIs) {
    app::RunOptions options = Parse({L"/e", L"/q"});
    EXPECT_TRUE(options.extractRequested);
    EXPECT_EQ(options.extractPath, L"/q");
    EXPECT_FALSE(options.quiet);
    EXPECT_FALSE(options.installDefault);

    options = Parse({L"/e", L"/i"});
    EXPECT_EQ(options.extractPath, L"/i");
    EXPECT_FALSE(options.listProductsRequested);
}

TEST(CommandLine, ASwitchAtTheEndKeepsThePathItHad) {
    app::RunOptions options = Parse({L"/e"});
    EXPECT_TRUE(options.extractRequested);
    EXPECT_TRUE(options.extractPath.empty());

    options = Parse({L"/p", L"first.txt", L"/p"});
    EXPECT_TRUE(options.patchListRequested);
    EXPECT_EQ(options.patchListPath, L"first.txt");

    options = Parse({L"/e", L"a.msp", L"/e", L"b.msp"});
    EXPECT_EQ(options.extractPath, L"b.msp");
}

TEST(CommandLine, ListingProductsEndsTheParse) {
    app::RunOptions options = Parse({L"/i", L"/e", L"out.msp", L"/q"});
    EXPECT_TRUE(options.listProductsRequested);
    EXPECT_FALSE(options.extractRequested);
    EXPECT_FALSE(options.quiet);

    options = Parse({L"/e", L"out.msp", L"/i"});
    EXPECT_TRUE(options.extractRequested);
    EXPECT_EQ(options.extractPath, L"out.msp");
    EXPECT_TRUE(options.listProductsRequested);

    options = Parse({L"/q", L"/i"});
    EXPECT_TRUE(options.quiet);
    EXPECT_TRUE(options.listProductsRequested);
}

TEST(CommandLine, RestartLogAndHelpSwitchesFollowTheSameRules) {
    app::RunOptions options = Parse({L"/NoRestart", L"/LOG", L"C:\\logs\\sp.log", L"/q"});
    EXPECT_TRUE(options.noRestart);
    EXPECT_TRUE(options.logRequested);
    EXPECT_EQ(options.logPath, L"C:\\logs\\sp.log");
    EXPECT_TRUE(options.quiet);
    EXPECT_TRUE(options.installDefault) << "none of them is a job";

    // /log takes the next argument unless it is a switch: /log /q is the default log, quietly.
    options = Parse({L"/log", L"/Q"});
    EXPECT_TRUE(options.logRequested);
    EXPECT_TRUE(options.logPath.empty());
    EXPECT_TRUE(options.quiet);
    options = Parse({L"/q", L"/log", L"/e", L"C:\\x.msp"});
    EXPECT_TRUE(options.logPath.empty());
    EXPECT_TRUE(options.extractRequested) << "a job after /log is still a job";
    EXPECT_EQ(options.extractPath, L"C:\\x.msp");
    EXPECT_EQ(Parse({L"/log", L"/quiet"}).logPath, L"/quiet") << "not a switch: a file name";

    options = Parse({L"/log"}); // the last token: the flag, no path
    EXPECT_TRUE(options.logRequested);
    EXPECT_TRUE(options.logPath.empty());

    options = Parse({L"/i", L"/log", L"x.log"}); // nothing after /i is read
    EXPECT_TRUE(options.listProductsRequested);
    EXPECT_FALSE(options.logRequested);

    for (const wchar_t* help : {L"/?", L"/H", L"-?", L"-h", L"/Help", L"--HELP"}) {
        EXPECT_TRUE(Parse({help}).helpRequested) << std::wstring(help);
    }
    for (const wchar_t* ignored : {L"/norestar", L"-norestart", L"/logs", L"?", L"-help"}) {
        const app::RunOptions other = Parse({ignored});
        EXPECT_FALSE(other.noRestart || other.logRequested || other.helpRequested)
            << std::wstring(ignored);
    }
}

TEST(CommandLine, IgnoredArgumentsAreKeptForTheLog) {
    EXPECT_EQ(Parse({L"/quiet", L"/q", L"-q", L"/e", L"/x", L"/y"}).ignored,
              (std::vector<std::wstring>{L"/quiet", L"-q", L"/y"}))
        << "a path is not ignored, whatever it looks like";
    EXPECT_EQ(Parse({L"/i", L"/e", L"x.msp"}).ignored, (std::vector<std::wstring>{L"/e", L"x.msp"}))
        << "nothing after /i is acted on";
}

TEST(CommandLine, SeveralJobsCanBeAskedForAtOnce) {
    const app::RunOptions options = Parse({L"/p", L"list.txt", L"/e", L"x.msp", L"/q"});
    EXPECT_TRUE(options.extractRequested);
    EXPECT_EQ(options.extractPath, L"x.msp");
    EXPECT_TRUE(options.patchListRequested);
    EXPECT_EQ(options.patchListPath, L"list.txt");
    EXPECT_TRUE(options.quiet);
    EXPECT_FALSE(options.installDefault);
}

} // namespace
