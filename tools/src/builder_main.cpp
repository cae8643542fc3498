// corvath-patch-builder: writes the sample service pack, its record 206 and the edge packages.
#include "file_io.h"
#include "patch_record.h"
#include "product_layout.h"
#include "sample_content.h"
#include "sample_packages.h"
#include "shaped_patches.h"
#include "target_codes.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

using namespace corvath::patchkit;
using corvath::pack::format_patch_record;

namespace {

constexpr std::string_view usage =
    "usage: corvath-patch-builder --targets <codes.txt> --program <corvath-8.2.0.5.exe>\n"
    "                             --out-dir <dir> [--size <bytes>] [--sample-only]\n"
    "                             [--small-update-targets <codes.txt>]\n"
    "Writes corvath-sp-sample.msp (exactly --size bytes, default 16049664), record206.txt\n"
    "and, unless --sample-only, the edge-*.msp and shape-*.msp packages into <dir>; with\n"
    "--small-update-targets also small-update.msp and the data file it brings,\n"
    "small-update.dat.\n";

struct Options {
    std::string targets;
    std::string program;
    std::string out_dir;
    std::string small_update_targets;
    std::uint64_t size = sample::package_size;
    bool sample_only = false;
};

bool parse_size(const std::string& text, std::uint64_t& size) {
    if (text.empty() || text.size() > 12 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    size = std::stoull(text);
    return size > 0;
}

bool parse_options(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (name == "--sample-only") {
            options.sample_only = true;
            continue;
        }
        if (i + 1 >= argc) {
            error = "missing value after " + std::string(name);
            return false;
        }
        const std::string value = argv[++i];
        if (name == "--targets")
            options.targets = value;
        else if (name == "--program")
            options.program = value;
        else if (name == "--out-dir")
            options.out_dir = value;
        else if (name == "--small-update-targets")
            options.small_update_targets = value;
        else if (name == "--size") {
            if (!parse_size(value, options.size)) {
                error = "--size needs a positive decimal number of bytes, got \"" + value + "\"";
                return false;
            }
        } else {
            error = "unknown argument " + std::string(name);
            return false;
        }
    }
    if (options.targets.empty() || options.program.empty() || options.out_dir.empty()) {
        error = "--targets, --program and --out-dir are required";
        return false;
    }
    return true;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "corvath-patch-builder: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!parse_options(argc, argv, options, error)) {
        std::fprintf(stderr, "corvath-patch-builder: %s\n%.*s", error.c_str(),
                     static_cast<int>(usage.size()), usage.data());
        return 2;
    }

    SampleInputs inputs;
    auto targets = read_target_codes(options.targets, error);
    if (!targets)
        return fail(error);
    inputs.targets = std::move(*targets);
    auto exe = read_whole_file(options.program);
    if (!exe || exe->empty())
        return fail("cannot read the program " + options.program);
    inputs.exe = std::move(*exe);

    const std::filesystem::path out_dir(options.out_dir);
    std::error_code ec;
    std::filesystem::create_directories(out_dir, ec);
    if (ec)
        return fail("cannot create " + options.out_dir + ": " + ec.message());

    const std::string sample_path = (out_dir / "corvath-sp-sample.msp").string();
    auto sample = build_sample_package(inputs, options.size, sample_path, error);
    if (!sample)
        return fail(error);

    auto record = format_patch_record({inputs.targets.front(), std::string(layout::patched_version),
                                       std::string(sample::title), std::string(sample::patch_code),
                                       sample->size, std::string(sample::description)},
                                      error);
    if (!record)
        return fail(error);

    const auto write = [&](const std::string& name, const auto& bytes) {
        const std::string path = (out_dir / name).string();
        if (!write_whole_file(path, bytes)) {
            error = "cannot write " + path;
            return false;
        }
        return true;
    };
    if (!write("record206.txt", *record))
        return fail(error);
    if (!options.sample_only) {
        auto half = read_file_prefix(sample_path, sample->size / 2);
        if (!half)
            return fail("cannot read back " + sample_path);
        auto edges = build_edge_packages(inputs, *half, error);
        if (!edges)
            return fail(error);
        for (const EdgePackage& edge : *edges)
            if (!write(edge.file_name, edge.bytes))
                return fail(error);
        for (const shapes::Shape& shape : shapes::fixture_shapes()) {
            auto package = shapes::build_shaped_patch(shape, error);
            if (!package || !write(shape.file_name, *package))
                return fail(error);
        }
    }

    if (!options.small_update_targets.empty()) {
        auto codes = read_target_codes(options.small_update_targets, error);
        if (!codes)
            return fail(error);
        const Bytes data = make_data_file(small_update::data_size, "1.1.1 fixed");
        auto package = build_small_update_package(*codes, data, error);
        if (!package)
            return fail(error);
        if (!write("small-update.dat", data) || !write("small-update.msp", *package))
            return fail(error);
    }

    std::printf("corvath-sp-sample.msp: %llu bytes (corvath.dat %llu bytes), %zu targets\n",
                static_cast<unsigned long long>(sample->size),
                static_cast<unsigned long long>(sample->data_size), inputs.targets.size());
    return 0;
}
