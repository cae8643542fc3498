// The exact-size search over a package whose size grows in steps.
#include "size_search.h"

#include <gtest/gtest.h>

using namespace corvath::patchkit;

namespace {

// A package of 1536 bytes of overhead whose payload takes whole 512-byte sectors.
std::optional<std::uint64_t> sector_package(std::uint64_t payload) {
    return 1536 + (payload + 511) / 512 * 512;
}

} // namespace

TEST(SizeSearch, FindsAPayloadForEveryReachableSize) {
    for (const std::uint64_t wanted : {1536u, 2048u, 4096u, 1536u + 512u * 1000u}) {
        std::uint64_t payload = 0;
        std::string error;
        ASSERT_TRUE(build_package_of_size(wanted, sector_package, payload, error))
            << wanted << ": " << error;
        EXPECT_EQ(sector_package(payload), wanted);
    }
}

TEST(SizeSearch, ReportsSizesBetweenSteps) {
    for (const std::uint64_t wanted : {1000u, 1537u, 2047u, 1536u + 512u * 1000u + 1u}) {
        std::uint64_t payload = 0;
        std::string error;
        EXPECT_FALSE(build_package_of_size(wanted, sector_package, payload, error)) << wanted;
        EXPECT_NE(error.find(std::to_string(wanted)), std::string::npos) << error;
    }
}

TEST(SizeSearch, PassesOnABuildFailure) {
    std::uint64_t payload = 0;
    std::string error;
    const auto failing = [](std::uint64_t) -> std::optional<std::uint64_t> { return std::nullopt; };
    EXPECT_FALSE(build_package_of_size(4096, failing, payload, error));
    EXPECT_FALSE(error.empty());
}
