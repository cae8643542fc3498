// Patches shaped as real patch tools make them, for products other than the sample: pairs "X"
// and "#X", "#X" naming the version "X" leaves (new -> new), property 16 with the validation
// flags in its upper word. The pack checker's tests read them; the builder writes a few beside
// the sample, where they also seed the checker's fuzz target.
#pragma once

#include "byte_writer.h"
#include "patch_package.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvath::patchkit::shapes {

inline constexpr std::string_view product_code = "{7A3C5E10-2B4D-4F6A-8C1E-3D5F7A9B1C20}";
inline constexpr std::string_view upgraded_product_code = "{7A3C5E10-2B4D-4F6A-8C1E-3D5F7A9B1C21}";
inline constexpr std::string_view patch_code = "{7A3C5E10-2B4D-4F6A-8C1E-3D5F7A9B1C2F}";

struct Shape {
    std::string file_name;
    std::vector<PairDefinition> pairs;
    std::optional<std::int16_t> sequence_attributes = std::nullopt; // MsiPatchSequence
    bool minor_update_target_rtm = false;                           // MsiPatchMetadata
};

// The product from `from` to `to` (the same: a small update of `from`), one pair validated by
// `validation`.
Shape minor_upgrade(std::string from = "1.0.0.0", std::string to = "1.0.1.0",
                    std::int32_t validation = real_tools_validation);
// Pairs for 1.0.0.0 and for 1.0.1.0, each keeping its version.
Shape two_baseline_small_update();
// A minor upgrade of a family: its sequence row supersedes earlier patches (attribute 0x1), and
// it targets original releases (MinorUpdateTargetRTM = 1).
Shape family_patch();
// 1.0.0.0 to 2.0.0.0, the product code changed to upgraded_product_code.
Shape major_upgrade();

// The patch: property 7 the pairs' product codes, each once; a small payload.
std::optional<Bytes> build_shaped_patch(const Shape& shape, std::string& error);

// Those the builder writes: minor upgrade, two baselines, family, major upgrade.
std::vector<Shape> fixture_shapes();

} // namespace corvath::patchkit::shapes
