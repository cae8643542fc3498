// The release name in message 308 ("... it is designed for %s - <release>."), one text for
// every language or one per language from a file of LANGID=text lines.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace corvath::pack {

// A file of `LANGID=text` lines (UTF-8, an optional BOM, LF or CR LF; blank lines and lines that
// begin with # are skipped). LANGID is decimal (1031) or hexadecimal (0x0407); spaces and tabs
// around it and around the text are dropped. A refusal, one line naming the line number, for
// anything else, a language given twice, an empty text, a control character or a text not UTF-8;
// `names` is then empty.
std::optional<std::string> read_release_names(std::string_view file_text,
                                              std::map<std::uint16_t, std::u16string>& names);

// 308 of one language: its frame (from the base, with the marker {release} where the release
// name goes) with the release name put in, every % of the name doubled, as the run formats
// 308 with the product name.
std::u16string compose_message_308(std::u16string_view frame, std::u16string_view release);

} // namespace corvath::pack
