#include "pack_options.h"

#include <string_view>

namespace corvath::pack {

const char* const kPackUsage =
    "usage: corvath-sp-pack <patch.msp> -o <pack.exe> [options]\n"
    "  --base FILE                 the base (default: corvath-sp-base.exe beside the packer)\n"
    "  --title TEXT                patch-list title (default: the patch's DisplayName)\n"
    "  --description TEXT          patch-list description (default: the patch's Description)\n"
    "  --record [ID=]FILE          a patch-list record, in id order from 206 (repeatable;\n"
    "                              default: record 206 derived from the patch)\n"
    "  --no-records                a pack without patch-list records (/p then reports 310)\n"
    "  --target-version V          the version the pack brings (default: from the patch)\n"
    "  --applicable-versions L     the versions it applies to, each followed by a comma\n"
    "  --release TEXT              the release name in message 308, for every language\n"
    "  --release-names FILE        the same per language: LANGID=text lines, UTF-8\n"
    "  --company TEXT  --product-name TEXT  --file-description TEXT  --copyright TEXT\n"
    "                              the version resource's texts (default: the base's)\n"
    "  --build-date DD.MM.YYYY     (default: the day SOURCE_DATE_EPOCH names, else the base's)\n"
    "  --sign FILE.p12             sign with osslsigncode; password from CORVATH_SP_SIGN_PASSWORD\n"
    "  --timestamp-url URL         RFC 3161 time-stamp server for --sign\n";

namespace {

std::filesystem::path PathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

bool IsBuildDate(std::string_view text) {
    if (text.size() != 10 || text[2] != '.' || text[5] != '.') {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i != 2 && i != 5 && (text[i] < '0' || text[i] > '9')) {
            return false;
        }
    }
    return true;
}

// Four dot-separated decimal fields of up to five digits: 8.2.0.5.
bool IsFourPartVersion(std::string_view text) {
    int fields = 0;
    std::size_t digits = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9' && digits < 5) {
            ++digits;
        } else if (c == '.' && digits > 0 && fields < 3) {
            ++fields;
            digits = 0;
        } else {
            return false;
        }
    }
    return fields == 3 && digits > 0;
}

// One or more four-part versions, each followed by a comma: without its comma a version is never
// compared, and every product would get 308.
bool IsVersionList(std::string_view text) {
    if (text.empty() || text.back() != ',') {
        return false;
    }
    while (!text.empty()) {
        const auto comma = text.find(',');
        if (!IsFourPartVersion(text.substr(0, comma))) {
            return false;
        }
        text.remove_prefix(comma + 1);
    }
    return true;
}

} // namespace

std::optional<std::string> parse_pack_options(const std::vector<std::string>& arguments,
                                              PackOptions& options) {
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        if (name == "-h" || name == "--help") {
            options.help = true;
            return std::nullopt;
        }
        if (name == "--no-records") {
            options.no_records = true;
            continue;
        }
        if (name.size() < 2 || name[0] != '-') {
            positional.push_back(name);
            continue;
        }
        if (i + 1 >= arguments.size()) {
            return "no value after " + name;
        }
        const std::string& value = arguments[++i];
        if (name == "-o" || name == "--output") {
            options.output = PathFromUtf8(value);
        } else if (name == "--base") {
            options.base = PathFromUtf8(value);
        } else if (name == "--title") {
            options.title = value;
        } else if (name == "--description") {
            options.description = value;
        } else if (name == "--record") {
            options.records.push_back(value);
        } else if (name == "--target-version") {
            options.target_version = value;
        } else if (name == "--applicable-versions") {
            options.applicable_versions = value;
        } else if (name == "--release") {
            options.release = value;
        } else if (name == "--release-names") {
            options.release_names = PathFromUtf8(value);
        } else if (name == "--company") {
            options.company = value;
        } else if (name == "--product-name") {
            options.product_name = value;
        } else if (name == "--file-description") {
            options.file_description = value;
        } else if (name == "--copyright") {
            options.copyright = value;
        } else if (name == "--build-date") {
            if (!IsBuildDate(value)) {
                return "--build-date \"" + value + "\": must read like 09.12.2026";
            }
            options.build_date = value;
        } else if (name == "--sign") {
            options.sign_pkcs12 = PathFromUtf8(value);
        } else if (name == "--timestamp-url") {
            options.timestamp_url = value;
        } else {
            return "unknown option " + name;
        }
    }
    if (positional.size() != 1) {
        return positional.empty() ? "name the patch to pack"
                                  : "one patch only: \"" + positional[1] + "\" is a second";
    }
    options.patch = PathFromUtf8(positional[0]);
    if (options.output.empty()) {
        return "name the pack to write: -o <pack.exe>";
    }
    if (!options.target_version.empty() && !IsFourPartVersion(options.target_version)) {
        return "--target-version \"" + options.target_version + "\": must read like 8.2.0.5";
    }
    if (!options.applicable_versions.empty() && !IsVersionList(options.applicable_versions)) {
        return "--applicable-versions \"" + options.applicable_versions +
               "\": must be one or more four-part versions, each followed by a comma (8.1.0.4, "
               "or 8.1.0.4,8.1.0.5,); a version without its comma is never compared, and every "
               "product would get 308";
    }
    if (options.no_records && !options.records.empty()) {
        return "--no-records and --record: give one of them";
    }
    if (options.release && !options.release_names.empty()) {
        return "--release and --release-names: give one of them";
    }
    return std::nullopt;
}

// Days to a civil date (the proleptic Gregorian calendar), so that no time zone enters.
std::string day_of_unix_time(long long seconds) {
    long long days = seconds / 86400 - (seconds % 86400 < 0 ? 1 : 0);
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    const long long day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const long long month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    const auto twoDigits = [](long long value) {
        return std::string(1, static_cast<char>('0' + value / 10)) +
               static_cast<char>('0' + value % 10);
    };
    return twoDigits(day) + "." + twoDigits(month) + "." + std::to_string(year);
}

} // namespace corvath::pack
