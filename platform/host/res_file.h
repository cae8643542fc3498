// Reads a compiled resource file (.res): the same resources the Windows build links in.
#pragma once

#include "platform/resources.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::host {

struct ResEntry {
    ResourceName type;
    ResourceName name;
    LanguageId language = 0;
    const std::byte* data = nullptr;
    std::uint32_t size = 0;
};

// Parses `bytes` into `entries`. False, with `entries` cleared, when any header, name or data
// block runs past the end or a header's sizes contradict each other.
bool ParseResFile(const std::byte* bytes, std::size_t size, std::vector<ResEntry>& entries);

} // namespace platform::host
