#include "shaped_patches.h"

#include "sample_packages.h"

#include <algorithm>

namespace corvath::patchkit::shapes {
namespace {

constexpr std::uint64_t payload_size = 4096;
constexpr std::int16_t supersede_earlier = 0x1; // msidbPatchSequenceSupersedeEarlier

PairDefinition pair(std::string from, std::string to, std::string storage_name,
                    std::int32_t validation = real_tools_validation) {
    return {std::string(product_code), std::move(from), std::move(to), "",
            std::move(storage_name),   validation};
}

} // namespace

Shape minor_upgrade(std::string from, std::string to, std::int32_t validation) {
    return {"shape-minor-upgrade.msp", {pair(std::move(from), std::move(to), "Shape", validation)}};
}

Shape two_baseline_small_update() {
    return {"shape-two-baselines.msp",
            {pair("1.0.0.0", "1.0.0.0", "Shape100"), pair("1.0.1.0", "1.0.1.0", "Shape101")}};
}

Shape family_patch() {
    Shape shape = minor_upgrade();
    shape.file_name = "shape-family.msp";
    shape.sequence_attributes = supersede_earlier;
    shape.minor_update_target_rtm = true;
    return shape;
}

Shape major_upgrade() {
    Shape shape = minor_upgrade("1.0.0.0", "2.0.0.0");
    shape.file_name = "shape-major-upgrade.msp";
    shape.pairs.front().to_product_code = std::string(upgraded_product_code);
    return shape;
}

std::optional<Bytes> build_shaped_patch(const Shape& shape, std::string& error) {
    if (shape.pairs.empty()) {
        error = "a shaped patch without transforms";
        return std::nullopt;
    }
    std::vector<std::string> targets;
    for (const PairDefinition& pair : shape.pairs)
        if (std::find(targets.begin(), targets.end(), pair.product_code) == targets.end())
            targets.push_back(pair.product_code);
    const Bytes data = make_data_file(payload_size, shape.pairs.front().to_version);
    PatchDefinition definition;
    definition.target_list = join_list(targets);
    definition.pairs = shape.pairs;
    definition.patch_code = std::string(patch_code);
    definition.title = "Corvath " + shape.pairs.front().to_version + " patch";
    definition.data = &data;
    definition.metadata = PatchMetadata{true,
                                        definition.title,
                                        "Lunmere",
                                        "Corvath",
                                        "Update",
                                        definition.title,
                                        "CorvathShapes",
                                        shape.pairs.front().to_version,
                                        shape.sequence_attributes,
                                        shape.minor_update_target_rtm};
    return build_patch_package(definition, error);
}

std::vector<Shape> fixture_shapes() {
    return {minor_upgrade(), two_baseline_small_update(), family_patch(), major_upgrade()};
}

} // namespace corvath::patchkit::shapes
