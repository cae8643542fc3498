// What the readers give back: the value read, or the one rule the file breaks, as the line of
// text the pack's build prints. Nothing here throws.
#pragma once

#include <string>
#include <utility>

namespace corvath::msp {

template <typename T> struct Parsed {
    T value{};
    std::string failure; // empty when the value was read

    bool ok() const { return failure.empty(); }
};

template <typename T> Parsed<T> failed(std::string rule) {
    Parsed<T> result;
    result.failure = std::move(rule);
    return result;
}

} // namespace corvath::msp
