// Names of streams inside a Windows Installer storage.
#pragma once

#include <string>
#include <string_view>

namespace corvath::patchkit {

enum class StreamKind {
    Table,  // a table or the string pool: the name gets the U+4840 marker
    Stream, // a _Streams entry such as an embedded cabinet: no marker
};

// Windows Installer packs pairs of name characters from [0-9A-Za-z._] into one UTF-16 unit so
// that long table names fit the 31-unit limit of a compound-file directory entry.
std::u16string encode_stream_name(std::string_view name, StreamKind kind);

// The UTF-8 form libgsf expects for a directory entry name.
std::string utf16_to_utf8(std::u16string_view text);

// The 31 units a compound-file directory entry can hold besides its terminator.
inline constexpr std::size_t max_stream_name_units = 31;

} // namespace corvath::patchkit
