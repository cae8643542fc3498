#include "string_pool.h"

#include <limits>

namespace corvath::patchkit {

std::optional<std::uint16_t> StringPool::reference(const std::string& text) {
    if (text.empty() || text.size() > std::numeric_limits<std::uint16_t>::max())
        return std::nullopt;
    if (const auto found = ids_.find(text); found != ids_.end()) {
        Entry& entry = entries_[found->second - 1];
        if (entry.references == std::numeric_limits<std::uint16_t>::max())
            return std::nullopt;
        ++entry.references;
        return found->second;
    }
    // Ids of 0x10000 and more need 3-byte references, which our tables do not write.
    if (entries_.size() + 1 > std::numeric_limits<std::uint16_t>::max())
        return std::nullopt;
    entries_.push_back({text, 1});
    const auto id = static_cast<std::uint16_t>(entries_.size());
    ids_.emplace(text, id);
    return id;
}

Bytes StringPool::pool_stream() const {
    Bytes out;
    // Code page 0 (the installer's default) and no 0x8000 flag: references are 2 bytes wide.
    put_u16(out, 0);
    put_u16(out, 0);
    for (const Entry& entry : entries_) {
        put_u16(out, static_cast<std::uint16_t>(entry.text.size()));
        put_u16(out, entry.references);
    }
    return out;
}

Bytes StringPool::data_stream() const {
    Bytes out;
    for (const Entry& entry : entries_)
        put_text(out, entry.text);
    return out;
}

} // namespace corvath::patchkit
