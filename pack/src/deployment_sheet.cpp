#include "deployment_sheet.h"

#include "install/exit_code.h"
#include "msp/code_page_text.h"

#include <cstdio>
#include <string_view>
#include <vector>

namespace corvath::pack {
namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr std::size_t kIndent = 2;
constexpr std::size_t kWidth = 98;

// Outside text made safe for one line of the sheet.
std::string printable(std::string_view text) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = msp::utf8_sequence_length(text, at);
        const auto byte = static_cast<unsigned char>(text[at]);
        if (length == 0)
            out += '?';
        else if (byte < 0x20 || byte == 0x7F)
            out += ' ';
        else
            out.append(text, at, length);
        at += length == 0 ? 1 : length;
    }
    return out;
}

// The run's own texts are ASCII; anything else becomes UTF-8 all the same.
std::string utf8_of(const wchar_t* text) {
    std::string out;
    for (; *text != L'\0'; ++text) {
        const auto unit = static_cast<std::uint32_t>(*text);
        if (unit < 0x80) {
            out += static_cast<char>(unit);
        } else if (unit < 0x800) {
            out += static_cast<char>(0xC0 | unit >> 6);
            out += static_cast<char>(0x80 | (unit & 0x3F));
        } else if (unit < 0x10000 && (unit < 0xD800 || unit > 0xDFFF)) {
            out += static_cast<char>(0xE0 | unit >> 12);
            out += static_cast<char>(0x80 | (unit >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            out += '?';
        }
    }
    return out;
}

// Words on lines of at most `width` characters; a longer word keeps a line of its own.
std::vector<std::string> wrapped(std::string_view text, std::size_t width) {
    std::vector<std::string> lines(1);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        const std::string_view word = text.substr(at, end - at);
        if (!word.empty()) {
            if (!lines.back().empty() && lines.back().size() + 1 + word.size() > width)
                lines.emplace_back();
            if (!lines.back().empty())
                lines.back() += ' ';
            lines.back() += word;
        }
        at = end + 1;
    }
    return lines;
}

struct Sheet {
    std::string text;

    void line(const std::string& content = {}) { text += content + kLineEnd; }
    void heading(const std::string& title) {
        line();
        line(title);
        line(std::string(title.size(), '-'));
    }
    // A paragraph, wrapped and indented.
    void says(std::string_view content, std::size_t indent = kIndent) {
        for (const std::string& part : wrapped(content, kWidth - indent))
            line(std::string(indent, ' ') + part);
    }
    // A list item: its lines after the first under its text.
    void item(std::string_view content) {
        const std::vector<std::string> parts = wrapped(content, kWidth - 2 * kIndent);
        for (std::size_t i = 0; i < parts.size(); ++i)
            line(std::string(kIndent, ' ') + (i == 0 ? "- " : "  ") + parts[i]);
    }
    // Cells padded to their columns; the last one wrapped under its own column.
    void row(const std::vector<std::string>& cells, const std::vector<std::size_t>& widths) {
        std::string head(kIndent, ' ');
        for (std::size_t i = 0; i + 1 < cells.size(); ++i) {
            head += cells[i];
            head += std::string(widths[i] > cells[i].size() ? widths[i] - cells[i].size() : 1, ' ');
        }
        const std::vector<std::string> last = wrapped(cells.back(), kWidth - head.size());
        for (std::size_t i = 0; i < last.size(); ++i)
            line((i == 0 ? head : std::string(head.size(), ' ')) + last[i]);
    }
};

std::string hresult_of(std::uint32_t code) {
    if (code == 0)
        return "0";
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", 0x80070000u | (code & 0xFFFFu));
    return text;
}

// What ConfigMgr and Intune make of a code unless told otherwise.
const char* default_handling(std::uint32_t code) {
    switch (code) {
    case install::kExitSuccess:
        return "Success";
    case install::kExitRebootRequired:
        return "Soft reboot";
    case install::kExitRebootInitiated:
        return "Hard reboot";
    case install::kExitAlreadyRunning:
        return "Retry";
    default:
        return "Failure";
    }
}

std::string joined_versions(const std::string& list) {
    std::string out;
    for (std::size_t at = 0; at < list.size();) {
        const std::size_t comma = std::min(list.find(',', at), list.size());
        if (comma > at)
            out += (out.empty() ? "" : ", ") + list.substr(at, comma - at);
        at = comma + 1;
    }
    return out;
}

void pack_section(Sheet& sheet, const SheetFacts& facts) {
    const msp::PackDetection& detection = facts.detection;
    sheet.heading("The pack");
    const std::vector<std::size_t> widths = {24};
    sheet.row({"File", printable(facts.pack_file_name)}, widths);
    sheet.row({"Title", printable(facts.title)}, widths);
    if (facts.display_name)
        sheet.row({"Installed updates lists", printable(*facts.display_name)}, widths);
    sheet.row({"Target version", detection.target_version}, widths);
    sheet.row({"Applies to versions", joined_versions(detection.applicable_versions)}, widths);
    sheet.row({"Patch code", detection.patch_code}, widths);
    sheet.row({"Patch SHA-256", facts.sha256}, widths);
    sheet.row({"Patch size", std::to_string(facts.patch_size) + " bytes"}, widths);
    sheet.line();
    sheet.says("The patch's SHA-256 and size identify the patch. They stay the same when the pack "
               "is signed. The run log records both.");
}

void command_section(Sheet& sheet, const SheetFacts& facts, const std::string& stem) {
    const std::string pack = printable(facts.pack_file_name);
    sheet.heading("Command lines");
    sheet.says("Install:");
    sheet.says(pack + " /q /norestart /log C:\\Windows\\Logs\\" + stem + ".log", 2 * kIndent);
    sheet.says("Uninstall:");
    sheet.says(pack + " /uninstall /q /norestart /log C:\\Windows\\Logs\\" + stem +
                   "-uninstall.log",
               2 * kIndent);
    sheet.line();
    sheet.says("/q shows no message box. /norestart leaves a needed restart to the deployment "
               "tool. Any other argument ends the run with 1639.");
    sheet.says(facts.allows_removal
                   ? "The patch allows its removal. /uninstall succeeds where Windows Installer "
                     "can restore the files the patch replaced; where the patch is applied "
                     "nowhere, it ends with 0."
                   : "The patch does not allow its removal (no AllowRemoval=1 in its metadata). "
                     "/uninstall ends with 1646 on every machine that has the patch.");
}

void exit_code_section(Sheet& sheet) {
    sheet.heading("Exit codes");
    sheet.says("HRESULT is the form some tools show: 0x80070000 plus the code. The last column is "
               "what ConfigMgr and Intune do with a code by default. A failure wins over 3010 and "
               "1641 when a run patches several products.");
    sheet.line();
    const std::vector<std::size_t> widths = {7, 13, 13};
    sheet.row({"Code", "HRESULT", "Default", "Meaning"}, widths);
    sheet.row({"----", "-------", "-------", "-------"}, widths);
    const std::vector<install::ExitCodeMeaning> meanings = install::ExitCodeMeanings();
    std::vector<bool> done(meanings.size(), false);
    for (std::size_t i = 0; i < meanings.size(); ++i) {
        if (done[i])
            continue;
        const install::ExitCodeMeaning& first = meanings[i];
        std::string meaning;
        for (std::size_t j = i; j < meanings.size(); ++j) {
            const install::ExitCodeMeaning& same = meanings[j];
            if (done[j] || same.installerResult != first.installerResult || same.code != first.code)
                continue;
            done[j] = true;
            meaning += (meaning.empty() ? "" : "; ") +
                       std::string(same.removalOnly ? "/uninstall: " : "") + utf8_of(same.meaning);
        }
        if (first.installerResult)
            sheet.row({"other", "0x8007xxxx", "Failure", meaning}, widths);
        else
            sheet.row({std::to_string(first.code), hresult_of(first.code),
                       default_handling(first.code), meaning},
                      widths);
    }
}

void requirements_section(Sheet& sheet, const SheetFacts& facts) {
    sheet.heading("Requirements");
    const std::uint64_t twice = 2 * facts.patch_size;
    const std::uint64_t mebibytes = (twice + (1u << 20) - 1) >> 20;
    sheet.item("64-bit Windows 7 to Windows 11.");
    sheet.item("Run as an administrator or as SYSTEM.");
    sheet.item("Free disk space for two copies of the patch: " + std::to_string(twice) +
               " bytes (" + std::to_string(mebibytes) +
               " MB), one in the temporary folder and one in Windows Installer's cache "
               "(C:\\Windows\\Installer).");
}

void detection_section(Sheet& sheet, const SheetFacts& facts, const std::string& stem) {
    const msp::PackDetection& detection = facts.detection;
    sheet.heading("Detection");
    if (detection.by_version)
        sheet.says("A product at version " + detection.target_version +
                   " or later, or with the patch applied, has the pack.");
    else
        sheet.says("The patch leaves the version as it is: a product has the pack when Windows "
                   "Installer has the patch " +
                   detection.patch_code + " applied, superseded or obsoleted on it.");
    if (!detection.upgraded_product_codes.empty())
        sheet.says("A product under a code the patch upgrades to, at version " +
                   detection.target_version + " or later, has it too.");
    sheet.says("Target product codes, one per language edition:");
    for (const std::string& code : detection.product_codes)
        sheet.says(code, 2 * kIndent);
    for (const std::string& code : detection.upgraded_product_codes)
        sheet.says(code + " (upgraded to)", 2 * kIndent);
    sheet.says("The facts, as KEY=value lines: " + stem + kDetectionFactsSuffix + ".");
    if (detection.by_version)
        sheet.says("ConfigMgr: one Windows Installer clause per edition you deploy, joined with "
                   "OR: its product code, Version greater than or equal to " +
                   detection.target_version + ".");
    else
        sheet.says("ConfigMgr: a custom script to detect the deployment type, " + stem +
                   kDetectionScriptSuffix + ". No Windows Installer clause can tell.");
    sheet.says("Intune: one custom detection script; it writes a line when the pack is there.");
    const std::vector<std::size_t> widths = {58};
    sheet.line();
    sheet.says("Intune detection rule");
    sheet.row({"  Rules format", "Use a custom detection script"}, widths);
    sheet.row({"  Script file", stem + kDetectionScriptSuffix}, widths);
    sheet.row({"  Run script as 32-bit process on 64-bit clients", "No"}, widths);
    sheet.row({"  Enforce script signature check and run script silently", "No"}, widths);
    sheet.line();
    sheet.says("Intune requirement rule");
    sheet.row({"  Requirement type", "Script"}, widths);
    sheet.row({"  Script file", stem + kRequirementScriptSuffix}, widths);
    sheet.row({"  Run script as 32-bit process on 64-bit clients", "No"}, widths);
    sheet.row({"  Run this script using the logged on credentials", "No"}, widths);
    sheet.row({"  Enforce script signature check", "No"}, widths);
    sheet.row({"  Select output data type", "Boolean"}, widths);
    sheet.row({"  Operator", "Equals"}, widths);
    sheet.row({"  Value", "Yes"}, widths);
    sheet.line();
    sheet.says("It writes True where a target product is at a version the pack applies to" +
               std::string(detection.by_version ? " or at the target version or later" : "") +
               ", or has the patch. Machines without them then see the app as not applicable, "
               "instead of failing with 1642.");
}

void logs_section(Sheet& sheet, const SheetFacts& facts) {
    sheet.heading("Logs");
    sheet.item("The run log: %TEMP%\\corvath-sp-" + facts.detection.target_version +
               "-<yyyyMMdd-HHmmss>.log of the account that runs the pack (for SYSTEM, "
               "C:\\Windows\\Temp), or the /log file. An /uninstall run's default name has "
               "-uninstall after the version: corvath-sp-" + facts.detection.target_version +
               "-uninstall-<yyyyMMdd-HHmmss>.log.");
    sheet.item("Windows Installer's verbose log: beside the run log in that default place, its "
               "name ending in .installer.log instead of .log. With /log it stays in the default "
               "place. The run log names it.");
}

void users_section(Sheet& sheet) {
    sheet.heading("What users may see");
    sheet.item("With /q, no message box.");
    sheet.item("While Corvath runs, a request to close it, sent to the person who has it open. "
               "Cancel ends the run with 1602. No answer within 5 minutes ends it with 1618.");
    sheet.item("Windows Installer's progress, only with /passive.");
    sheet.item("Nothing in session 0: a run as SYSTEM shows no box there.");
}

} // namespace

std::string pack_stem(const std::string& pack_file_name) {
    const std::size_t name = pack_file_name.find_last_of("/\\");
    const std::size_t start = name == std::string::npos ? 0 : name + 1;
    const std::size_t dot = pack_file_name.rfind('.');
    return dot == std::string::npos || dot <= start ? pack_file_name.substr(start)
                                                    : pack_file_name.substr(start, dot - start);
}

std::string deployment_sheet(const SheetFacts& facts) {
    const std::string stem = printable(pack_stem(facts.pack_file_name));
    Sheet sheet;
    const std::string title = "Deployment sheet: " + printable(facts.pack_file_name);
    sheet.line(title);
    sheet.line(std::string(title.size(), '='));
    sheet.says("Written by the packer beside the pack. The same pack gives the same sheet.", 0);
    pack_section(sheet, facts);
    command_section(sheet, facts, stem);
    exit_code_section(sheet);
    requirements_section(sheet, facts);
    detection_section(sheet, facts, stem);
    logs_section(sheet, facts);
    users_section(sheet);
    return sheet.text;
}

} // namespace corvath::pack
