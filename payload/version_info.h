// What the program's own version resource says of it.
#pragma once

#include <cstddef>
#include <string>

namespace payload {

struct OwnVersion {
    std::wstring fileVersion; // from the fixed part, e.g. 8.2.0.5
    std::wstring buildDate;   // the "Build Date" text
    std::wstring description; // the "FileDescription" text: the pack's name
};

// Reads the language-neutral version resource, the one that describes this executable. False
// when it is missing or malformed.
bool ReadOwnVersion(OwnVersion& version);

// Parses a version resource's bytes (VS_VERSIONINFO); every length and offset is checked
// against the block it lies in.
bool ParseVersionResource(const std::byte* bytes, std::size_t size, OwnVersion& version);

} // namespace payload
