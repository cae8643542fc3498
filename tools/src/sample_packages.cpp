#include "sample_packages.h"

#include "patch_package.h"
#include "product_layout.h"
#include "sample_content.h"
#include "size_search.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

namespace corvath::patchkit {
namespace {

// Payload of the edge packages: they exist for their summaries, not their size.
constexpr std::uint64_t edge_data_size = 4096;

PatchDefinition definition_for(const SampleInputs& inputs) {
    PatchDefinition definition;
    definition.target_list = join_list(inputs.targets);
    definition.transform_products = inputs.targets;
    definition.patch_code = std::string(sample::patch_code);
    definition.title = std::string(sample::title);
    definition.exe = &inputs.exe;
    definition.metadata = PatchMetadata{true,
                                        std::string(sample::display_name),
                                        "Lunmere",
                                        "Corvath",
                                        "Service Pack",
                                        std::string(sample::title),
                                        std::string(sample::patch_family),
                                        std::string(layout::patched_version)};
    return definition;
}

std::optional<Bytes> build_with(PatchDefinition definition, const Bytes& data, std::string& error) {
    definition.data = &data;
    return build_patch_package(definition, error);
}

std::string made_up_code(std::size_t index) {
    char code[40];
    std::snprintf(code, sizeof code, "{EDCE0000-0000-4000-8000-%012zX}", index);
    return code;
}

} // namespace

namespace {

// Appends whole lines of the data file's text to `out`, from line `line` on, until `out` holds
// at least `count` bytes. A line is "Corvath <version> data, line <10 digits>\r\n"; the digits
// are counted up in place, as gigabytes of text are made this way.
void append_lines(Bytes& out, std::uint64_t& line, std::size_t count, std::string_view version) {
    std::string text = "Corvath " + std::string(version) + " data, line 0000000000\r\n";
    const std::size_t last_digit = text.size() - 3;
    std::uint64_t number = line;
    for (std::size_t i = 0; i < 10; ++i, number /= 10)
        text[last_digit - i] = static_cast<char>('0' + number % 10);
    while (out.size() < count) {
        out.insert(out.end(), text.begin(), text.end());
        ++line;
        for (std::size_t i = last_digit; i + 10 > last_digit; --i) {
            if (text[i] != '9') {
                ++text[i];
                break;
            }
            text[i] = '0';
        }
    }
}

} // namespace

Bytes make_data_file(std::uint64_t size, std::string_view version) {
    Bytes data;
    data.reserve(size);
    std::uint64_t line = 0;
    append_lines(data, line, size, version);
    data.resize(size);
    return data;
}

bool write_data_file(const std::string& path, std::uint64_t size, std::string_view version) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    // About a megabyte at a time; the rest of a line cut at a block's end begins the next block,
    // so the text is make_data_file's.
    constexpr std::size_t block = 1 << 20;
    Bytes chunk;
    std::uint64_t line = 0;
    std::uint64_t left = size;
    bool ok = true;
    while (ok && left > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(block, left));
        append_lines(chunk, line, want, version);
        ok = std::fwrite(chunk.data(), 1, want, out) == want;
        chunk.erase(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(want));
        left -= want;
    }
    return std::fclose(out) == 0 && ok;
}

std::optional<SamplePackage> build_sample_package(const SampleInputs& inputs, std::uint64_t size,
                                                  const std::string& path, std::string& error) {
    PatchDefinition definition = definition_for(inputs);
    definition.data_path = path + ".dat.part";
    auto build = [&](std::uint64_t data_size) -> std::optional<std::uint64_t> {
        if (!write_data_file(definition.data_path, data_size, layout::patched_version)) {
            error = "cannot write " + definition.data_path;
            return std::nullopt;
        }
        return build_patch_package_to(definition, path, error);
    };
    SamplePackage result;
    const bool built = build_package_of_size(size, build, result.data_size, error);
    std::error_code ignored;
    std::filesystem::remove(definition.data_path, ignored);
    if (!built) {
        std::filesystem::remove(path, ignored);
        return std::nullopt;
    }
    result.size = size;
    return result;
}

std::optional<Bytes> build_small_update_package(const std::vector<std::string>& targets,
                                                const Bytes& data, std::string& error) {
    PatchDefinition definition;
    definition.target_list = join_list(targets);
    definition.transform_products = targets;
    definition.patch_code = std::string(small_update::patch_code);
    definition.title = std::string(small_update::title);
    definition.transform_prefix = std::string(small_update::transform_prefix);
    definition.from_version = std::string(small_update::version);
    definition.to_version = std::string(small_update::version);
    for (std::size_t i = 0; i < targets.size(); ++i) {
        char number[24];
        std::snprintf(number, sizeof number, "_%02zu", i + 1);
        definition.pairs.push_back({targets[i], std::string(small_update::second_version),
                                    std::string(small_update::second_version), "",
                                    std::string(small_update::transform_prefix) + number +
                                        std::string(small_update::second_pair_suffix)});
    }
    definition.data = &data;
    definition.metadata = PatchMetadata{true,
                                        std::string(small_update::display_name),
                                        "Lunmere",
                                        "Corvath",
                                        "Hotfix",
                                        std::string(small_update::title),
                                        std::string(small_update::patch_family),
                                        std::string(small_update::version) + ".1"};
    return build_patch_package(definition, error);
}

std::optional<std::string> target_list_of_length(const std::vector<std::string>& targets,
                                                 std::size_t length) {
    std::string list = join_list(targets);
    // The last entry is ";{...}", at least 3 characters; stop adding codes in time for it.
    for (std::size_t index = 1; list.size() + 39 + 3 <= length; ++index)
        list += ";" + made_up_code(index);
    if (list.size() == length)
        return list;
    if (list.size() + 3 > length)
        return std::nullopt;
    const std::size_t filler = length - list.size() - 3;
    list += ";{" + std::string(filler, '0') + "}";
    return list;
}

std::optional<std::vector<EdgePackage>>
build_edge_packages(const SampleInputs& inputs, const Bytes& sample_half, std::string& error) {
    const Bytes data = make_data_file(edge_data_size, layout::patched_version);
    const PatchDefinition base = definition_for(inputs);
    std::vector<EdgePackage> edges;

    // Lengths around the reader's first buffer of 2048 characters, and a long one.
    for (const std::size_t length : {2047u, 2048u, 10000u}) {
        PatchDefinition definition = base;
        definition.target_list = target_list_of_length(inputs.targets, length);
        if (!definition.target_list) {
            error = "the targets alone are longer than " + std::to_string(length) + " characters";
            return std::nullopt;
        }
        auto package = build_with(definition, data, error);
        if (!package)
            return std::nullopt;
        edges.push_back({"edge-pid7-" + std::to_string(length) + ".msp", std::move(*package)});
    }

    PatchDefinition without_targets = base;
    without_targets.target_list.reset();
    auto package = build_with(without_targets, data, error);
    if (!package)
        return std::nullopt;
    edges.push_back({"edge-no-pid7.msp", std::move(*package)});

    if (inputs.targets.size() < 2) {
        error = "the empty-entry package needs two target codes";
        return std::nullopt;
    }
    PatchDefinition empty_entry = base;
    empty_entry.target_list = inputs.targets[0] + ";;" + inputs.targets[1];
    empty_entry.transform_products = {inputs.targets[0], inputs.targets[1]};
    package = build_with(empty_entry, data, error);
    if (!package)
        return std::nullopt;
    edges.push_back({"edge-empty-entry.msp", std::move(*package)});

    // One package for each of the rules a pack's build holds a patch to, beside those above.
    PatchDefinition database = base;
    database.root_class = {0x84, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                           0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}; // an .msi's class
    PatchDefinition lower_case = base;
    std::string first = inputs.targets[0];
    for (char& c : first)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    lower_case.target_list = first + ";" + inputs.targets[1];
    PatchDefinition no_patch_code = base;
    no_patch_code.patch_code = no_patch_code.patch_code.substr(1, 36); // the braces left out
    // And one a pack can be built from that is not the sample: other targets, another code,
    // and no metadata, as a patch made without removal in mind.
    PatchDefinition other = base;
    other.metadata.reset();
    other.target_list = inputs.targets[1] + ";" + inputs.targets[0];
    other.transform_products = {inputs.targets[1], inputs.targets[0]};
    other.patch_code = "{5E0A7C2D-8B14-4C6A-9F3E-2D7B1A9C4E61}";
    for (auto& [name, definition] : {std::pair{"edge-database-class.msp", database},
                                     std::pair{"edge-lower-case.msp", lower_case},
                                     std::pair{"edge-no-patch-code.msp", no_patch_code},
                                     std::pair{"other-patch.msp", other}}) {
        package = build_with(definition, data, error);
        if (!package)
            return std::nullopt;
        edges.push_back({name, std::move(*package)});
    }

    const std::string_view not_cfb =
        "Corvath test fixture: this file is plain text, not an OLE compound file.\r\n";
    edges.push_back({"edge-not-cfb.msp", Bytes(not_cfb.begin(), not_cfb.end())});

    // Half the sample: the header survives, the sectors it points to do not.
    edges.push_back({"edge-truncated.msp", sample_half});
    return edges;
}

} // namespace corvath::patchkit
