// The sheet beside a pack: Notepad's CR LF and UTF-8, the pack's own facts, and every exit code
// the run can end with, from the run's own table.
#include "deployment_sheet.h"

#include "install/exit_code.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

using namespace corvath::pack;

namespace {

SheetFacts by_version() {
    SheetFacts facts;
    facts.pack_file_name = "corvath-sp.exe";
    facts.title = "Corvath 8.2 Service Pack 1";
    facts.sha256 = "0f3c9a56e2d1b7c48a9e0d2f6b1c3a5e7d9f0b2c4e6a8d0f1b3c5e7a9d2f4b6c";
    facts.patch_size = 16049664;
    facts.allows_removal = true;
    facts.display_name = "Corvath 8.2 \xC3\x89"
                         "dition (x64)";
    facts.detection.product_codes = {"{6513270E-4F3E-0D37-F2A7-4DE452E6B438}",
                                     "{0B5F1A2C-3D4E-4F60-8172-93A4B5C6D7E8}"};
    facts.detection.patch_code = "{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E60}";
    facts.detection.target_version = "8.2.0.5";
    facts.detection.applicable_versions = "8.1.0.4,8.1.0.7,";
    return facts;
}

SheetFacts small_update() {
    SheetFacts facts = by_version();
    facts.pack_file_name = "data\nfix\xFF.exe"; // a name from outside: a line break, no UTF-8
    facts.allows_removal = false;
    facts.display_name.reset();
    facts.detection.target_version = "1.1.1.0";
    facts.detection.applicable_versions = "1.1.1.0,";
    facts.detection.by_version = false;
    return facts;
}

bool is_utf8(const std::string& text) {
    iconv_t to_utf32 = iconv_open("UTF-32LE", "UTF-8");
    std::string in = text;
    std::vector<char> out(4 * text.size() + 4);
    char* from = in.data();
    char* to = out.data();
    std::size_t in_left = in.size();
    std::size_t out_left = out.size();
    const bool whole = iconv(to_utf32, &from, &in_left, &to, &out_left) != static_cast<size_t>(-1);
    iconv_close(to_utf32);
    return whole && in_left == 0;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

TEST(DeploymentSheet, NotepadReadsItAndItNamesThePacksOwnFacts) {
    for (const SheetFacts& facts : {by_version(), small_update()}) {
        const std::string sheet = deployment_sheet(facts);
        const std::string what = facts.pack_file_name;
        ASSERT_FALSE(sheet.empty());
        for (std::size_t at = 0; at < sheet.size(); ++at) {
            if (sheet[at] == '\n') {
                EXPECT_TRUE(at > 0 && sheet[at - 1] == '\r') << what << ": a bare LF at " << at;
            }
            if (sheet[at] == '\r') {
                EXPECT_TRUE(at + 1 < sheet.size() && sheet[at + 1] == '\n') << what << at;
            }
        }
        EXPECT_EQ(sheet.substr(sheet.size() - 2), "\r\n") << what;
        EXPECT_TRUE(is_utf8(sheet)) << what;
        for (const std::string& line : lines_of(sheet))
            EXPECT_LE(line.size(), 100u) << line;
        for (const std::string& fact :
             {facts.sha256, std::to_string(facts.patch_size) + " bytes",
              std::to_string(2 * facts.patch_size) + " bytes", facts.detection.patch_code,
              facts.detection.product_codes[0], facts.detection.product_codes[1],
              "corvath-sp-" + facts.detection.target_version + "-<yyyyMMdd-HHmmss>.log"})
            EXPECT_NE(sheet.find(fact), std::string::npos) << what << ": " << fact;
    }

    const std::string sheet = deployment_sheet(by_version());
    for (const char* fact :
         {"\r\n    corvath-sp.exe /q /norestart /log C:\\Windows\\Logs\\corvath-sp.log\r\n",
          "\r\n    corvath-sp.exe /uninstall /q /norestart /log "
          "C:\\Windows\\Logs\\corvath-sp-uninstall.log\r\n",
          "8.1.0.4, 8.1.0.7\r\n",
          "Corvath 8.2 \xC3\x89"
          "dition (x64)\r\n",
          "Version greater than or equal to 8.2.0.5", "corvath-sp.detection.ps1",
          "corvath-sp.requirement.ps1"})
        EXPECT_NE(sheet.find(fact), std::string::npos) << fact;
    // The requirement rule as Intune's form asks for it, a setting a line.
    const std::vector<std::string> lines = lines_of(sheet);
    for (const auto& [setting, value] :
         {std::pair{"Select output data type", "Boolean"},
          {"Operator", "Equals"},
          {"Value", "Yes"},
          {"Run this script using the logged on credentials", "No"}}) {
        const std::string label = std::string("    ") + setting + " ";
        const std::string wanted = value; // older clang cannot capture a structured binding
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [&](const std::string& line) {
                                    return line.rfind(label, 0) == 0 &&
                                           line.substr(line.find_last_of(' ') + 1) == wanted;
                                }),
                  1)
            << setting;
    }

    // A small update is detected by its script, and its patch cannot be removed.
    const std::string small = deployment_sheet(small_update());
    EXPECT_NE(small.find("\r\n    data fix?.exe /q /norestart /log "
                         "C:\\Windows\\Logs\\data fix?.log\r\n"),
              std::string::npos);
    EXPECT_NE(small.find("The patch does not allow its removal"), std::string::npos);
    EXPECT_EQ(sheet.find("The patch does not allow its removal"), std::string::npos);
    EXPECT_EQ(small.find("Version greater than or equal to"), std::string::npos);
    EXPECT_NE(small.find("custom script to detect the deployment type, data fix?.detection.ps1"),
              std::string::npos);
}

TEST(DeploymentSheet, EveryExitCodeOfTheRunOnceWithItsHresult) {
    const std::vector<std::string> lines = lines_of(deployment_sheet(by_version()));
    const auto row_of = [&lines](const std::string& code) {
        std::vector<std::string> rows;
        for (const std::string& line : lines)
            if (line.rfind("  " + code + " ", 0) == 0)
                rows.push_back(line);
        return rows;
    };
    for (const install::ExitCodeMeaning& meaning : install::ExitCodeMeanings()) {
        if (meaning.installerResult)
            continue;
        const std::vector<std::string> rows = row_of(std::to_string(meaning.code));
        ASSERT_EQ(rows.size(), 1u) << meaning.code;
        char hresult[16];
        std::snprintf(hresult, sizeof hresult, "0x%08X", 0x80070000u | meaning.code);
        EXPECT_NE(rows[0].find(meaning.code == 0 ? " 0 " : hresult), std::string::npos) << rows[0];
    }
    for (const auto& [code, form, handling] : {std::tuple{"0", " 0 ", "Success"},
                                               {"1603", "0x80070643", "Failure"},
                                               {"1618", "0x80070652", "Retry"},
                                               {"3010", "0x80070BC2", "Soft reboot"},
                                               {"1641", "0x80070669", "Hard reboot"},
                                               {"1639", "0x80070667", "Failure"},
                                               {"1646", "0x8007066E", "Failure"},
                                               {"other", "0x8007xxxx", "Failure"}}) {
        const std::vector<std::string> rows = row_of(code);
        ASSERT_EQ(rows.size(), 1u) << code;
        EXPECT_NE(rows[0].find(form), std::string::npos) << rows[0];
        EXPECT_NE(rows[0].find(handling), std::string::npos) << rows[0];
    }
}

} // namespace
