#include "size_search.h"

namespace corvath::patchkit {

bool build_package_of_size(std::uint64_t wanted, const PackageForPayload& build,
                           std::uint64_t& payload_size, std::string& error) {
    // Invariant: size(low) < wanted < size(high); an exact hit returns at once.
    std::uint64_t low = 0;
    auto package = build(low);
    if (!package) {
        error = "the package cannot be built";
        return false;
    }
    std::uint64_t low_size = *package;
    if (low_size == wanted) {
        payload_size = low;
        return true;
    }
    if (low_size > wanted) {
        error = "even an empty payload gives " + std::to_string(low_size) + " bytes, more than " +
                std::to_string(wanted);
        return false;
    }
    std::uint64_t high = wanted + 1; // the payload alone would exceed the size
    std::uint64_t high_size = UINT64_MAX;

    while (high - low > 1) {
        // Interpolate between the two sizes known around the one wanted (at first: the package
        // grows about one byte per payload byte): each build of a large package costs seconds,
        // and halving the range would take thirty of them.
        std::uint64_t guess = low + (wanted - low_size);
        if (high_size != UINT64_MAX && high_size > low_size)
            guess =
                low + static_cast<std::uint64_t>(static_cast<long double>(wanted - low_size) *
                                                 static_cast<long double>(high - low) /
                                                 static_cast<long double>(high_size - low_size));
        if (guess <= low || guess >= high)
            guess = low + (high - low) / 2;
        package = build(guess);
        if (!package) {
            error = "the package cannot be built";
            return false;
        }
        const std::uint64_t size = *package;
        if (size == wanted) {
            payload_size = guess;
            return true;
        }
        if (size < wanted) {
            low = guess;
            low_size = size;
        } else {
            high = guess;
            high_size = size;
        }
    }
    error = "no payload size gives exactly " + std::to_string(wanted) + " bytes: a payload of " +
            std::to_string(low) + " bytes gives " + std::to_string(low_size) + ", one of " +
            std::to_string(high) + " gives " +
            (high_size == UINT64_MAX ? std::string("more") : std::to_string(high_size));
    return false;
}

} // namespace corvath::patchkit
