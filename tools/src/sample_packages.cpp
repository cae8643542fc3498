#include "sample_packages.h"

#include "patch_package.h"
#include "product_layout.h"
#include "sample_content.h"
#include "size_search.h"

#include <cctype>
#include <cstdio>

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

Bytes make_data_file(std::uint64_t size, std::string_view version) {
    Bytes data;
    data.reserve(size);
    char line[64];
    for (std::uint64_t number = 0; data.size() < size; ++number) {
        const int length = std::snprintf(line, sizeof line, "Corvath %.*s data, line %010llu\r\n",
                                         static_cast<int>(version.size()), version.data(),
                                         static_cast<unsigned long long>(number));
        for (int i = 0; i < length && data.size() < size; ++i)
            data.push_back(static_cast<std::uint8_t>(line[i]));
    }
    return data;
}

std::optional<SamplePackage> build_sample_package(const SampleInputs& inputs, std::uint64_t size,
                                                  std::string& error) {
    const PatchDefinition definition = definition_for(inputs);
    auto build = [&](std::uint64_t data_size) {
        const Bytes data = make_data_file(data_size, layout::patched_version);
        return build_with(definition, data, error);
    };
    SamplePackage result;
    auto package = build_package_of_size(size, build, result.data_size, error);
    if (!package)
        return std::nullopt;
    result.package = std::move(*package);
    return result;
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
build_edge_packages(const SampleInputs& inputs, const Bytes& sample, std::string& error) {
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
    edges.push_back(
        {"edge-truncated.msp", Bytes(sample.begin(), sample.begin() + sample.size() / 2)});
    return edges;
}

} // namespace corvath::patchkit
