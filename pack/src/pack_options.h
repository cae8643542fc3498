// The packer's command line:
//   corvath-sp-pack <patch.msp> -o <pack.exe> [options]
// Options are read as UTF-8 (on Windows, from the UTF-16 command line).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvath::pack {

struct PackOptions {
    std::filesystem::path patch;
    std::filesystem::path output;
    std::filesystem::path base; // empty: corvath-sp-base.exe beside the packer
    std::optional<std::string> title;
    std::optional<std::string> description;
    std::vector<std::string> records; // FILE or ID=FILE, in id order from 206
    bool no_records = false;          // a pack without patch-list records (tests of /p)
    std::string target_version;       // empty: from the patch
    std::string applicable_versions;  // empty: from the patch
    std::optional<std::string> release;
    std::filesystem::path release_names;
    std::optional<std::string> company;
    std::optional<std::string> product_name;
    std::optional<std::string> file_description;
    std::optional<std::string> copyright;
    std::optional<std::string> build_date; // dd.mm.yyyy
    std::filesystem::path sign_pkcs12;
    std::string timestamp_url;
    bool help = false;
};

// A refusal, one line, for anything the packer does not take.
std::optional<std::string> parse_pack_options(const std::vector<std::string>& arguments,
                                              PackOptions& options);

extern const char* const kPackUsage;

// "dd.mm.yyyy" of the UTC day a Unix time falls on.
std::string day_of_unix_time(long long seconds);

} // namespace corvath::pack
