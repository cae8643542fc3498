// corvath-patch-record: derives record 206 from a patch package plus the texts only a person
// can supply.
#include "file_io.h"
#include "patch_record.h"

#include "msp/pack_check.h"
#include "msp/patch_rules.h"
#include "msp/patch_summary.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

using namespace corvath::patchkit;
using corvath::pack::format_patch_record;
using corvath::pack::PatchRecordFields;

namespace {

constexpr std::string_view usage =
    "usage: corvath-patch-record --msp <patch.msp> [--version <a.b.c.d>] --title <text>\n"
    "                            --desc <text> [--out <record.txt>]\n"
    "Writes the record (CR LF line ends) to --out, or to standard output. Without --version,\n"
    "the version the patch's transforms upgrade to, as the pack's build takes it.\n";

struct Options {
    std::string msp;
    std::string version;
    std::string title;
    std::string description;
    std::string out;
    bool have_title = false;
    bool have_description = false;
};

bool parse_options(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (i + 1 >= argc) {
            error = "missing value after " + std::string(name);
            return false;
        }
        const std::string value = argv[++i];
        if (name == "--msp")
            options.msp = value;
        else if (name == "--version")
            options.version = value;
        else if (name == "--title") {
            options.title = value;
            options.have_title = true;
        } else if (name == "--desc") {
            options.description = value;
            options.have_description = true;
        } else if (name == "--out")
            options.out = value;
        else {
            error = "unknown argument " + std::string(name);
            return false;
        }
    }
    if (options.msp.empty() || !options.have_title || !options.have_description) {
        error = "--msp, --title and --desc are required";
        return false;
    }
    return true;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "corvath-patch-record: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!parse_options(argc, argv, options, error)) {
        std::fprintf(stderr, "corvath-patch-record: %s\n%.*s", error.c_str(),
                     static_cast<int>(usage.size()), usage.data());
        return 2;
    }

    const auto read = corvath::msp::read_patch_summary(options.msp);
    if (!read.ok())
        return fail(options.msp + ": " + read.failure);
    const corvath::msp::PatchSummary& summary = read.value;
    if (!summary.targets || summary.targets->empty())
        return fail(options.msp + " names no target product (summary property 7)");
    if (!summary.revision)
        return fail(options.msp + " has no patch code (summary property 9)");

    std::error_code ec;
    const auto size = std::filesystem::file_size(options.msp, ec);
    if (ec)
        return fail("cannot size " + options.msp + ": " + ec.message());

    if (options.version.empty()) {
        const corvath::msp::PackCheck check = corvath::msp::check_pack_patch(options.msp);
        if (check.refusal)
            return fail(options.msp + ": " + *check.refusal);
        options.version = check.versions.target;
    }

    PatchRecordFields fields;
    fields.product_code = summary.targets->substr(0, summary.targets->find(';'));
    fields.version = options.version;
    fields.title = options.title;
    fields.patch_code = corvath::msp::patch_code_of(*summary.revision);
    fields.package_size = size;
    fields.description = options.description;
    auto record = format_patch_record(fields, error);
    if (!record)
        return fail(error);

    if (options.out.empty()) {
        const bool ok = std::fwrite(record->data(), 1, record->size(), stdout) == record->size();
        return std::fflush(stdout) == 0 && ok ? 0 : fail("cannot write to standard output");
    }
    if (!write_whole_file(options.out, *record))
        return fail("cannot write " + options.out);
    return 0;
}
