// The string pool of one transform: _StringPool (lengths and reference counts) and
// _StringData (the strings back to back, no terminators).
#pragma once

#include "byte_writer.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace corvath::patchkit {

class StringPool {
  public:
    // Id of the text, adding it on first use; every call counts as one reference.
    // Nothing for an empty text (a NULL column is id 0, never a pool entry) or when the pool
    // would outgrow 2-byte references or a text its 16-bit length field.
    std::optional<std::uint16_t> reference(const std::string& text);

    Bytes pool_stream() const;
    Bytes data_stream() const;

  private:
    struct Entry {
        std::string text;
        std::uint16_t references = 0;
    };
    std::vector<Entry> entries_; // entry i has id i + 1
    std::map<std::string, std::uint16_t> ids_;
};

} // namespace corvath::patchkit
